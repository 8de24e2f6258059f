// The Win32 window: builds the controls of the control table as standard controls of one
// top-level window, implements Form on them and raises FormEvents from their messages.
//
// Everything here runs on the thread that created the window. Events go through the form
// host: an exception from a procedure stops there, is shown in a critical message box and
// ends the program with exit code 1; none crosses the window procedure.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <string>
#include <utility>

#include "window/form.h"
#include "window/form_host.h"
#include "window/win32/text_pane.h"

namespace webapitest::win32 {

// The control id of a control's child window (GetDlgItem). Clear of IDOK and IDCANCEL, which
// the dialog manager sends for Enter and Escape.
inline constexpr int kFirstControlId = 1000;
inline int ControlId(Control control) { return kFirstControlId + static_cast<int>(control); }

class WebApiForm final : public Form {
 public:
  // Creates the window and all its controls, hidden, in their initial state. iconId names
  // the window's icon in the program's resources; 0 keeps the system's default icon.
  // Throws std::runtime_error when the window cannot be created.
  explicit WebApiForm(HINSTANCE instance, int iconId = 0);
  // Destroys the window if it still exists, without raising Form_Unload.
  ~WebApiForm() override;
  WebApiForm(const WebApiForm&) = delete;
  WebApiForm& operator=(const WebApiForm&) = delete;

  // The handler of the window's events; it must outlive the window or be detached (nullptr).
  void SetEvents(FormEvents* events) { host_.SetEvents(events); }

  // Raises Form_Load. False when the program must end instead: the load failed (the message
  // box has been shown) or a close came meanwhile; the window is destroyed then.
  bool Load();
  // Shows the window with the focus in the first control of the tab order.
  void Show(int showCommand);
  // Gives a message to the dialog manager (Tab, Alt+letter, Enter, Escape); true when it took
  // it. Every message loop that serves this window calls this before dispatching.
  bool PreTranslate(MSG& message);
  // Runs the message loop until the window is gone; returns the program's exit code: 0, or 1
  // after a failure was shown.
  int Run();

  HWND hwnd() const { return hwnd_; }
  HWND Child(Control control) const { return children_[static_cast<std::size_t>(control)]; }
  int dpi() const { return dpi_; }
  int exitCode() const { return host_.exitCode(); }

  // Form.
  std::u16string Text(Control box) const override;
  void SetText(Control box, std::u16string text) override;
  int Value(Control checkBox) const override;
  void SetFillColor(Control light, Rgb color) override;
  void SetFillStyle(Control light, Fill fill) override;
  void Repaint(Control light) override;
  void Focus(Control control) override;
  void ShowCritical(std::u16string_view title, std::u16string_view text) override;

 private:
  struct Light {
    Rgb color = 0;
    Fill fill = Fill::Transparent;
  };

  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Attached(HWND hwnd);
  void Detached();
  static LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR subclass, DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnCommand(int id, UINT code, HWND control);
  void OnPaint();
  void PaintLights(HDC dc);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  void OnActivate(bool active);
  void OnClose();
  void OnDestroy();

  void BuildControls();
  HWND CreateControl(const ControlItem& item);
  void AddTooltip(const ControlItem& item, HWND control);
  HFONT FontFor(const Font& font);
  RECT PixelRect(const ControlItem& item) const;
  const ControlItem& Require(Control control, Kind kind) const;

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window went inactive
  std::array<HWND, kControlCount> children_{};
  std::map<std::pair<Face, double>, HFONT> fonts_;
  std::array<Light, kControlCount> lights_{};  // used for the lights only
  TextPane* output_ = nullptr;  // the output pane; owned by its window
  FormHost host_;
  int dpi_ = 96;
};

}  // namespace webapitest::win32
