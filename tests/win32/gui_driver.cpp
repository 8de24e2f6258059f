// Input, pixels and message boxes for the window tests.
#include "gui_driver.h"

#include <thread>

#include "window/win32/text.h"

namespace webapitest::testing {

// Returns true for a message that is not a timer's (timers tick on and never let the queue
// go quiet).
bool Pump::Step() {
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  constexpr UINT kSystemTimer = 0x0118;  // caret blinking, button animations
  const bool timer = message.message == WM_TIMER || message.message == kSystemTimer;
  if (message.message == WM_QUIT) {
    quitCode_ = static_cast<int>(message.wParam);
    return true;
  }
  if (!window_.PreTranslate(message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return !timer;
}

void Pump::Settle() {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::seconds(2);
  auto quietSince = Clock::now();
  while (Clock::now() - quietSince < std::chrono::milliseconds(40) && Clock::now() < end) {
    if (Step()) {
      quietSince = Clock::now();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
}

bool Pump::Until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!Step()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

namespace {

INPUT Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace

void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(Key(key, false));
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) inputs.push_back(Key(*key, true));
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(std::u16string_view text) {
  std::vector<INPUT> inputs;
  for (char16_t c : text) {
    for (bool up : {false, true}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = c;
      input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      inputs.push_back(input);
    }
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

// Mouse input at a point of a window's client area: a move there, then the given flags.
void MouseAt(HWND window, POINT client, std::initializer_list<DWORD> then) {
  POINT screen = client;
  ClientToScreen(window, &screen);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<INPUT> inputs(1 + then.size());
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65536, width) + 1;
    input.mi.dy = MulDiv(screen.y, 65536, height) + 1;
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  std::size_t i = 1;
  for (DWORD flags : then) inputs[i++].mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

void ClickAt(HWND window, POINT client) { MouseAt(window, client, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}); }

void MoveMouseTo(HWND window, POINT client) { MouseAt(window, client, {}); }

COLORREF PixelAt(HWND window, POINT client) {
  HDC dc = GetDC(window);
  const COLORREF color = GetPixel(dc, client.x, client.y);
  ReleaseDC(window, dc);
  return color;
}

std::u16string TextOf(HWND window) { return win32::WindowText(window); }

std::u16string ClassOf(HWND window) {
  wchar_t name[64] = {};
  const int n = GetClassNameW(window, name, 64);
  return win32::Utf16(std::wstring_view(name, n > 0 ? static_cast<std::size_t>(n) : 0));
}

namespace {
BoxAnswerer* answering = nullptr;

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  if (ClassOf(window) == u"#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindErrorIcon(HWND child, LPARAM found) {
  const HICON shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
  if (ClassOf(child) == u"Static" || ClassOf(child) == u"STATIC") {
    if (shown && shown == LoadIconW(nullptr, IDI_ERROR)) *reinterpret_cast<bool*>(found) = true;
  }
  return TRUE;
}
}  // namespace

BoxAnswerer::BoxAnswerer(std::function<void(const ShownBox&)> onShow) : onShow_(std::move(onShow)) {
  answering = this;
  timer_ = SetTimer(nullptr, 0, 30, Tick);
}

BoxAnswerer::~BoxAnswerer() {
  KillTimer(nullptr, timer_);
  answering = nullptr;
}

void CALLBACK BoxAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!answering) return;
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  ShownBox shown;
  shown.title = TextOf(box);
  shown.text = TextOf(GetDlgItem(box, 0xFFFF));
  EnumChildWindows(box, FindErrorIcon, reinterpret_cast<LPARAM>(&shown.errorIcon));
  if (answering->onShow_) answering->onShow_(shown);
  answering->boxes_.push_back(shown);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

std::u16string ClipboardText() {
  std::u16string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace webapitest::testing
