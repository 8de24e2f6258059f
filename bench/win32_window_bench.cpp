// The Windows window under load (run under wine64 here): reloading large replies into the
// output pane, then scrolling to the end and copying everything, against a plain read of the
// same file in the same process.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "commands/procedures.h"
#include "reply_files.h"
#include "window/win32/web_api_form.h"

using namespace webapitest;

namespace {


class NoShell : public Shell {
 public:
  void Open(std::u16string_view) override {}
};

void Settle() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

int main() {
  ClientLibrary library(u"unused");  // reloading calls no library
  win32::WebApiForm window(GetModuleHandleW(nullptr));
  FormProcedures procedures(window, library, [] { return std::make_unique<NoShell>(); });
  window.SetEvents(&procedures);
  window.Show(SW_SHOWNORMAL);
  Settle();
  const HWND output = window.Child(Control::output);

  std::printf("%-28s %12s %12s %12s %14s\n", "reply", "reload ms", "plain read", "ratio", "end+copy ms");
  for (const bench::ReplyCase& c : bench::kReplyCases) {
    const std::string path = "win32_window_bench_reply.txt";
    bench::WriteReply(path, c);
    window.SetText(Control::output, u"");
    SetWindowTextA(window.Child(Control::repFile), path.c_str());
    const double plain = bench::PlainRead(path);

    auto start = std::chrono::steady_clock::now();
    RaiseClick(procedures, Control::RefreshButton);
    RedrawWindow(output, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // painted, as seen
    const double reload = bench::MsSince(start);

    start = std::chrono::steady_clock::now();
    SendMessageW(output, WM_VSCROLL, SB_BOTTOM, 0);
    RedrawWindow(output, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    SendMessageW(output, EM_SETSEL, 0, -1);
    SendMessageW(output, WM_COPY, 0, 0);
    const double endCopy = bench::MsSince(start);
    Settle();
    std::printf("%-28s %12.1f %12.1f %12.2f %14.1f\n", c.name, reload, plain, reload / plain, endCopy);
    std::remove(path.c_str());
  }
  window.SetEvents(nullptr);
  return 0;
}
