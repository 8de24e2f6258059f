// Driving the real window as a user would: keys and mouse through the system's input queue,
// the window's own message loop step, pixels read back from its surface, message boxes found
// and answered.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "window/win32/web_api_form.h"
#include "window/win32/text.h"

namespace webapitest::testing {

// Runs the window's message loop step (the dialog manager first) for every waiting message,
// until nothing has arrived for a little while. Remembers the code of a WM_QUIT.
class Pump {
 public:
  explicit Pump(win32::WebApiForm& window) : window_(window) {}
  void Settle();
  // Pumps until the condition holds; false after the timeout.
  bool Until(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  // The code of the last WM_QUIT seen, or -1.
  int quitCode() const { return quitCode_; }

 private:
  bool Step();  // one message; false when the queue was empty or the message a timer's
  win32::WebApiForm& window_;
  int quitCode_ = -1;
};

// Keyboard input as if typed: the keys go down in order and come up in reverse.
void PressKeys(std::initializer_list<WORD> keys);
// Text typed as Unicode characters.
void TypeText(std::u16string_view text);
// A left mouse click at a point of a window's client area.
void ClickAt(HWND window, POINT client);
// The mouse moved to a point of a window's client area, and left there.
void MoveMouseTo(HWND window, POINT client);

// The colour on the window's surface at a point of its client area.
COLORREF PixelAt(HWND window, POINT client);

// The window's text, and a child's class name.
std::u16string TextOf(HWND window);
std::u16string ClassOf(HWND window);

// What a message box showed.
struct ShownBox {
  std::u16string title;
  std::u16string text;
  bool errorIcon = false;
};

// While it exists, answers every message box of this thread with OK, a moment after it
// appears, and keeps what it showed. The boxes are modal, so this runs from a thread timer
// inside their own message loop. onShow, if set, runs before a box is answered.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::function<void(const ShownBox&)> onShow = nullptr);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;
  const std::vector<ShownBox>& boxes() const { return boxes_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  UINT_PTR timer_ = 0;
  std::function<void(const ShownBox&)> onShow_;
  std::vector<ShownBox> boxes_;
};

// Reads the clipboard's Unicode text.
std::u16string ClipboardText();

}  // namespace webapitest::testing
