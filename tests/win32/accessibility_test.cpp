// The output pane as screen readers and magnifiers find it: its accessible object, the system
// caret and the events they follow.
#include <gtest/gtest.h>

#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "gui_driver.h"
#include "live_window.h"

namespace webapitest::testing {
namespace {

// What a screen reader gets for a window's client area, and asks it about itself.
struct Accessible {
  IAccessible* object = nullptr;
  explicit Accessible(HWND hwnd) {
    AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(&object));
  }
  ~Accessible() {
    if (object) object->Release();
  }
  long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) const {
    VARIANT self{}, out{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return SUCCEEDED((object->*get)(self, &out)) && out.vt == VT_I4 ? out.lVal : -1;
  }
  std::u16string Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR out = nullptr;
    if (FAILED((object->*get)(self, &out)) || !out) return u"(none)";
    std::u16string text(reinterpret_cast<const char16_t*>(out), SysStringLen(out));
    SysFreeString(out);
    return text;
  }
};

TEST(OutputPaneForReaders, IsReadOnlyTextNamedAfterItsFrameWithItsTextAsValue) {
  LiveWindow live;
  live.window().SetText(Control::output, u"HTTP/1.1 200 OK\r\n\tdone");
  const HWND pane = live[Control::output];
  const Accessible reader(pane);
  ASSERT_NE(reader.object, nullptr);
  EXPECT_EQ(reader.Number(&IAccessible::get_accRole), ROLE_SYSTEM_TEXT);
  EXPECT_EQ(reader.Text(&IAccessible::get_accName), u"Web-API Client Output");
  EXPECT_EQ(reader.Text(&IAccessible::get_accValue), u"HTTP/1.1 200 OK\r\n\tdone");
  const long state = reader.Number(&IAccessible::get_accState);
  EXPECT_EQ(state & (STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED),
            STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE);
  live.FocusOn(Control::output);
  EXPECT_NE(reader.Number(&IAccessible::get_accState) & STATE_SYSTEM_FOCUSED, 0);

  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  long left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(reader.object->accLocation(&left, &top, &width, &height, self), S_OK);
  RECT client{};
  GetClientRect(pane, &client);
  MapWindowPoints(pane, nullptr, reinterpret_cast<POINT*>(&client), 2);
  EXPECT_EQ(std::make_tuple(left, top, left + width, top + height),
            std::make_tuple(client.left, client.top, client.right, client.bottom));

  live.window().SetText(Control::output, u"");
  EXPECT_EQ(reader.Text(&IAccessible::get_accValue), u"(none)");
}

// What accessible_reader.exe, beside this program, hears from hwnd; our messages are pumped
// meanwhile, as it asks through them.
std::string AskFromAnotherProcess(HWND hwnd) {
  wchar_t path[MAX_PATH];
  std::wstring command(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  command = L"\"" + command.substr(0, command.find_last_of(L'\\') + 1) + L"accessible_reader.exe\" " +
            std::to_wstring(reinterpret_cast<UINT_PTR>(hwnd));
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 1 << 16)) return "no pipe";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  PROCESS_INFORMATION reader{};
  const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &reader);
  CloseHandle(write);
  std::string heard;
  for (int waits = 0; started && waits < 300 &&
                      MsgWaitForMultipleObjects(1, &reader.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0;
       ++waits)
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
  char buffer[4096];
  for (DWORD got = 0; started && ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got;) heard.append(buffer, got);
  if (started) {
    TerminateProcess(reader.hProcess, 1);  // ended already, unless it hung
    CloseHandle(reader.hThread);
    CloseHandle(reader.hProcess);
  }
  CloseHandle(read);
  return heard;
}

// A screen reader lives in a process of its own: the object comes to it marshalled.
TEST(OutputPaneForReaders, AnswersAReaderInAnotherProcess) {
  const std::pair<std::u16string, std::string> cases[] = {{u"HTTP/1.1 200 OK\r\n\tdone", "HTTP/1.1 200 OK\\r\\n\\tdone"},
                                                          {u"", ""}};
  LiveWindow live;
  for (const auto& [text, value] : cases) {
    live.window().SetText(Control::output, text);
    std::istringstream heard(AskFromAnotherProcess(live[Control::output]));
    std::string name, heardValue;
    long result = -1, role = 0, state = 0;
    heard >> result >> role >> state;
    heard.ignore(1);
    std::getline(heard, name);
    std::getline(heard, heardValue);
    EXPECT_EQ(std::make_tuple(result, role, state & (STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_INVISIBLE)),
              std::make_tuple(0L, long{ROLE_SYSTEM_TEXT}, long{STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE}));
    EXPECT_EQ(name, "Web-API Client Output");
    EXPECT_EQ(heardValue, value);
  }
}

std::wstring ClassName(HWND hwnd, bool real) {
  wchar_t name[64] = {};
  return std::wstring(name, real ? RealGetWindowClassW(hwnd, name, 64) : static_cast<UINT>(GetClassNameW(hwnd, name, 64)));
}

// Readers pick their edit support by class name: the pane's is a system EDIT's (made here under
// a handle none of the program's classes belongs to), while the program's handle still finds
// the system's class, and the window's other text boxes are the system's.
TEST(OutputPaneForReaders, HasTheEditControlsClassNameWhileTheOtherBoxesStayTheSystems) {
  LiveWindow live;
  const HWND pane = live[Control::output];
  const HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, GetModuleHandleW(L"user32.dll"), nullptr);
  ASSERT_NE(edit, nullptr);
  const ULONG_PTR systemProc = GetClassLongPtrW(edit, GCLP_WNDPROC), systemAtom = GetClassLongPtrW(edit, GCW_ATOM);
  for (bool real : {false, true}) EXPECT_EQ(ClassName(pane, real), ClassName(edit, real)) << real;
  EXPECT_EQ(Accessible(pane).Number(&IAccessible::get_accRole), ROLE_SYSTEM_TEXT);
  EXPECT_NE(GetClassLongPtrW(pane, GCLP_WNDPROC), systemProc);
  WNDCLASSEXW found{};
  found.cbSize = sizeof found;
  const auto paneInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(pane, GWLP_HINSTANCE));
  for (const auto& [instance, proc] : {std::pair{paneInstance, GetClassLongPtrW(pane, GCLP_WNDPROC)},
                                       std::pair{GetModuleHandleW(nullptr), systemProc}}) {
    ASSERT_TRUE(GetClassInfoExW(instance, ClassName(edit, false).c_str(), &found));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(found.lpfnWndProc), proc);
  }
  for (const ControlItem& item : kControls) {
    if (item.kind != Kind::TextBox || item.id == Control::output) continue;
    EXPECT_EQ(std::make_pair(GetClassLongPtrW(live[item.id], GCLP_WNDPROC), GetClassLongPtrW(live[item.id], GCW_ATOM)),
              std::make_pair(systemProc, systemAtom)) << item.name;
  }
  // An EDIT made in the program under its handle, or none (where Wine finds the pane's class
  // too), is the system's and takes text as one.
  for (const HINSTANCE instance : {GetModuleHandleW(nullptr), HINSTANCE{}}) {
    const HWND other = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(other, nullptr);
    SetWindowTextW(other, L"typed");
    EXPECT_EQ(std::make_pair(GetWindowLongPtrW(other, GWLP_WNDPROC), TextOf(other)),
              std::make_pair(GetWindowLongPtrW(edit, GWLP_WNDPROC), std::u16string(u"typed"))) << instance;
    DestroyWindow(other);
  }
  DestroyWindow(edit);
}

// A reader may keep the object after the window has gone; it answers without the pane.
TEST(OutputPaneForReaders, TheObjectOutlivesThePaneWithoutReachingForIt) {
  std::optional<Accessible> kept;
  {
    LiveWindow live;
    live.window().SetText(Control::output, u"reply");
    kept.emplace(live[Control::output]);
  }
  ASSERT_NE(kept->object, nullptr);
  EXPECT_EQ(kept->Text(&IAccessible::get_accValue), u"(none)");
  EXPECT_EQ(kept->Number(&IAccessible::get_accRole), -1);
}

// While the pane has the focus the system caret is its own, a row high, where EM_POSFROMCHAR
// puts the caret; also after a change of font.
TEST(OutputPaneForReaders, TheSystemCaretStandsAtThePanesCaret) {
  struct Font {
    HFONT handle = CreateFontW(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, L"Courier New");
    ~Font() { DeleteObject(handle); }
  } large;  // outlives the window
  LiveWindow live;
  std::u16string words;
  for (int i = 0; i < 60; ++i) words += u"word ";
  live.window().SetText(Control::output, u"first\r\n" + words + u"\r\nlast");
  const HWND pane = live[Control::output];
  const auto y = [pane](std::size_t offset) { return GET_Y_LPARAM(SendMessageW(pane, EM_POSFROMCHAR, offset, 0)); };
  const auto expectCaretAtPanes = [&] {
    live.pump().Settle();
    DWORD from = 0, to = 0;
    SendMessageW(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const LRESULT place = SendMessageW(pane, EM_POSFROMCHAR, to, 0);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
    EXPECT_EQ(info.hwndCaret, pane) << "at " << to;
    EXPECT_EQ(std::make_tuple(info.rcCaret.left, info.rcCaret.top, info.rcCaret.bottom - info.rcCaret.top),
              std::make_tuple(static_cast<LONG>(GET_X_LPARAM(place)), static_cast<LONG>(GET_Y_LPARAM(place)),
                              static_cast<LONG>(y(7) - y(0))))
        << "at " << to;
  };
  live.FocusOn(Control::output);
  expectCaretAtPanes();
  const std::vector<std::vector<WORD>> moves = {{VK_DOWN}, {VK_DOWN, VK_RIGHT, VK_RIGHT}, {VK_END}};
  for (const std::vector<WORD>& keys : moves) {
    for (WORD key : keys) PressKeys({key});
    expectCaretAtPanes();
  }
  SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(large.handle), TRUE);
  expectCaretAtPanes();

  live.FocusOn(Control::host);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_NE(info.hwndCaret, pane);
}

std::vector<std::pair<DWORD, LONG>>* heard = nullptr;  // events of the pane: kind and object
HWND listenedTo = nullptr;

void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG, DWORD, DWORD) {
  if (heard && hwnd == listenedTo) heard->emplace_back(event, object);
}

TEST(OutputPaneForReaders, TellsOfItsCaretsMovesAndNewText) {
  LiveWindow live;
  live.window().SetText(Control::output, u"one\r\ntwo\r\n");
  std::vector<std::pair<DWORD, LONG>> events;
  heard = &events;
  listenedTo = live[Control::output];
  const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, &Hear,
                                             GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  const auto saw = [&](DWORD event, LONG object) {
    live.pump().Settle();
    const bool seen = std::find(events.begin(), events.end(), std::make_pair(event, object)) != events.end();
    events.clear();
    return seen;
  };
  live.FocusOn(Control::output);
  events.clear();
  PressKeys({VK_DOWN});
  EXPECT_TRUE(saw(EVENT_OBJECT_LOCATIONCHANGE, OBJID_CARET));
  live.window().SetText(Control::output, u"three");
  EXPECT_TRUE(saw(EVENT_OBJECT_VALUECHANGE, OBJID_CLIENT));
  UnhookWinEvent(hook);
  heard = nullptr;
}

}  // namespace
}  // namespace webapitest::testing
