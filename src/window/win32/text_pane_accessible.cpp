// The output pane's IAccessible, written out by hand: role text, read-only, its text as value.
#include "window/win32/text_pane_accessible.h"

#include <oleacc.h>

#include <string>
#include <type_traits>

#include "window/win32/text_pane.h"

namespace webapitest::win32 {
namespace {

// IAccessible's interface ID, from the header. Not MinGW-w64's IID_IAccessible: its x64
// import library for oleacc.dll declares that name as a function, so a program linked with
// oleacc before uuid gets the address of an import thunk, whose code bytes then stand in
// for the ID. Marshalling such an ID fails (no proxy is registered for it), and QueryInterface
// compared with it refuses the true ID that readers in other processes ask for.
const IID kAccessible = __uuidof(IAccessible);

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Text(std::u16string_view text, BSTR* out) {
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// Screen readers and UI Automation choose their edit-control support by class name
// (GetClassName, RealGetWindowClass), so the pane's class has the edit control's. Windows find
// a class by name and instance handle, a local class first: this one belongs to a handle of its
// own, 64 KB into the program's image, where no module starts (and which Wine, comparing handles
// without their low 16 bits, tells from the program's too). The boxes made under the program's
// own handle stay the system's edit controls.
constexpr wchar_t kClassName[] = L"Edit";
HINSTANCE PaneInstance() {
  return reinterpret_cast<HINSTANCE>(reinterpret_cast<UINT_PTR>(GetModuleHandleW(nullptr)) + 0x10000);
}
WNDPROC paneProc = nullptr;     // the pane's own
WNDPROC systemEdit = nullptr;   // the system's edit control, as the program's boxes get it
thread_local void* creating = nullptr;  // the owner whose window CreatePaneWindow is making

// The class's procedure until WM_NCCREATE. Wine finds local classes of any handle for a
// CreateWindowExW without one, so a window of this class may be someone else's edit control:
// it becomes the system's, whose extra bytes the class has room for, rather than a pane
// without an owner.
LRESULT CALLBACK ClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_NCCREATE) return DefWindowProcW(hwnd, message, wParam, lParam);
  const bool pane = creating && reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams == creating;
  const WNDPROC proc = pane ? paneProc : systemEdit;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  return CallWindowProcW(proc, hwnd, message, wParam, lParam);
}

}  // namespace

bool RegisterPaneClass(WNDPROC proc) {
  WNDCLASSEXW edit{};
  edit.cbSize = sizeof edit;
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), L"EDIT", &edit)) return false;
  paneProc = proc;
  systemEdit = edit.lpfnWndProc;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &ClassProc;
  wc.cbWndExtra = edit.cbWndExtra;
  wc.hInstance = PaneInstance();
  wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

HWND CreatePaneWindow(DWORD exStyle, DWORD style, const RECT& bounds, HWND parent, int id, void* owner) {
  creating = owner;
  const HWND hwnd = CreateWindowExW(exStyle, kClassName, L"", style, bounds.left, bounds.top,
                                    bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), PaneInstance(), owner);
  creating = nullptr;
  return hwnd;
}

class TextPaneAccessible::Object final : public IAccessible {
 public:
  explicit Object(const TextPane& pane) : pane_(&pane) {}
  void Disconnect() {
    pane_ = nullptr;
    CoDisconnectObject(static_cast<IAccessible*>(this), 0);  // readers elsewhere let go too
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != kAccessible) return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const auto left = static_cast<ULONG>(InterlockedDecrement(&references_));
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: no type information; readers call IAccessible's methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible: one object without children.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!pane_) return RPC_E_DISCONNECTED;
    return AccessibleObjectFromWindow(pane_->hwnd(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return pane_ ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    return pane_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Answer(child, name, [this](BSTR* out) { return Text(pane_->name(), out); });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Answer(child, value, [this](BSTR* out) { return Text(pane_->Text(), out); });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override { return Nothing(child, out); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override { return Nothing(child, out); }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override { return Nothing(child, out); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override { return Nothing(child, out); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    if (topic) *topic = 0;
    return Nothing(child, file);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return Answer(child, role, [](VARIANT* out) {
      out->vt = VT_I4;
      out->lVal = ROLE_SYSTEM_TEXT;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return Answer(child, state, [this](VARIANT* out) {
      const HWND hwnd = pane_->hwnd();
      long flags = STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE;
      if (GetFocus() == hwnd) flags |= STATE_SYSTEM_FOCUSED;
      if (!IsWindowVisible(hwnd)) flags |= STATE_SYSTEM_INVISIBLE;
      if (!IsWindowEnabled(hwnd)) flags |= STATE_SYSTEM_UNAVAILABLE;
      out->vt = VT_I4;
      out->lVal = flags;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    if (!pane_) return RPC_E_DISCONNECTED;
    if (GetFocus() != pane_->hwnd()) return S_FALSE;
    focus->vt = VT_I4;
    focus->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return pane_ ? S_FALSE : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    if (!pane_) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return E_INVALIDARG;
    if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;  // the text, not the object, has a selection
    SetFocus(pane_->hwnd());
    return S_OK;
  }
  // The pane's client area on the screen.
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!pane_) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return E_INVALIDARG;
    RECT client{};
    GetClientRect(pane_->hwnd(), &client);
    MapWindowPoints(pane_->hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    *left = client.left;
    *top = client.top;
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    VariantInit(end);
    if (!pane_) return RPC_E_DISCONNECTED;
    return IsSelf(start) ? S_FALSE : E_INVALIDARG;  // no children; siblings are the window's
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    VariantInit(hit);
    if (!pane_) return RPC_E_DISCONNECTED;
    POINT at{x, y};
    ScreenToClient(pane_->hwnd(), &at);
    RECT client{};
    GetClientRect(pane_->hwnd(), &client);
    if (!PtInRect(&client, at)) return S_FALSE;
    hit->vt = VT_I4;
    hit->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override {
    return pane_ ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }  // read-only

 private:
  ~Object() = default;

  // The checks every question about the pane itself shares, then the answer.
  template <typename Out, typename Fill>
  HRESULT Answer(const VARIANT& child, Out* out, Fill fill) {
    if (!out) return E_POINTER;
    if constexpr (std::is_same_v<Out, VARIANT>) {
      VariantInit(out);
    } else {
      *out = nullptr;
    }
    if (!pane_) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return E_INVALIDARG;
    return fill(out);
  }
  HRESULT Nothing(const VARIANT& child, BSTR* out) {
    return Answer(child, out, [](BSTR*) { return S_FALSE; });
  }

  const TextPane* pane_;
  LONG references_ = 1;
};

TextPaneAccessible::~TextPaneAccessible() {
  if (!object_) return;
  object_->Disconnect();
  object_->Release();
}

LRESULT TextPaneAccessible::Answer(WPARAM wParam) {
  if (!object_) object_ = new Object(pane_);
  // oleacc's own proxy carries the calls of readers in other processes; a failure is the answer.
  return LresultFromObject(kAccessible, wParam, object_);
}

}  // namespace webapitest::win32
