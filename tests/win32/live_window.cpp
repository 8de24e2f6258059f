// Setting up the window under test the way the program does.
#include "live_window.h"

#include "window/win32/text.h"

namespace webapitest::testing {
namespace {

void BringToFront(HWND window, Pump& pump) {
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  pump.Until([&] { return GetForegroundWindow() == window; }, std::chrono::seconds(2));
  pump.Settle();
}

std::u16string TemporaryFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  return win32::Utf16(std::wstring_view(folder, n)) + win32::Utf16(name);
}

}  // namespace

RECT TableRect(const ControlItem& item, int dpi) {
  const Point at = WindowPosition(item);
  const int left = TwipsToPixels(at.left, dpi), top = TwipsToPixels(at.top, dpi);
  return RECT{left, top, left + TwipsToPixels(item.width, dpi), top + TwipsToPixels(item.height, dpi)};
}

POINT CenterOf(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

LiveWindow::LiveWindow()
    : window_(std::make_unique<win32::WebApiForm>(GetModuleHandleW(nullptr))), pump_(*window_) {
  window_->SetEvents(&log_);
  window_->Show(SW_SHOWNORMAL);
  BringToFront(window_->hwnd(), pump_);
}

LiveWindow::~LiveWindow() {
  window_->SetEvents(nullptr);
  if (window_->hwnd()) DestroyWindow(window_->hwnd());
  pump_.Settle();
}

void LiveWindow::FocusOn(Control control) {
  SetFocus(window_->Child(control));
  pump_.Settle();
}

LoadedWindow::LoadedWindow(const std::u16string& doubleFolder)
    : scripted_(DoublePath(doubleFolder)),
      library_(DoublePath(doubleFolder)),
      window_(std::make_unique<win32::WebApiForm>(GetModuleHandleW(nullptr))),
      pump_(*window_),
      replyPath_(TemporaryFile(L"webapitest-reply.txt")) {
  DeleteFileW(win32::Wide(replyPath_).c_str());
  procedures_ = std::make_unique<FormProcedures>(
      *window_, library_, [this] { return std::make_unique<RecordingShell>(opened_); });
  window_->SetEvents(procedures_.get());
  window_->Load();
  window_->Show(SW_SHOWNORMAL);
  BringToFront(window_->hwnd(), pump_);
  Enter(Control::repFile, replyPath_);
}

LoadedWindow::~LoadedWindow() {
  window_->SetEvents(nullptr);
  if (window_->hwnd()) DestroyWindow(window_->hwnd());
  pump_.Settle();  // takes the destroyed window's WM_QUIT off the queue
  DeleteFileW(win32::Wide(replyPath_).c_str());
}

void LoadedWindow::Click(Control button) {
  SendMessageW(window_->Child(button), BM_CLICK, 0, 0);
  pump_.Settle();
}

void LoadedWindow::Enter(Control box, const std::u16string& text) {
  SetWindowTextW(window_->Child(box), win32::Wide(text).c_str());
}

void LoadedWindow::Close() {
  PostMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  pump_.Until([&] { return window_->hwnd() == nullptr; }, std::chrono::seconds(5));
  pump_.Settle();
}

}  // namespace webapitest::testing
