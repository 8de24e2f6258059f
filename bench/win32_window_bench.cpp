// The Windows window under load (run under wine64 here): reloading large replies into the
// output pane, then scrolling to the end and copying everything, against a plain read of the
// same file in the same process.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "commands/procedures.h"
#include "window/win32/main_window.h"

using namespace webapitest;

namespace {

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

void WriteReply(const std::string& path, std::size_t size, bool oneLine) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  if (oneLine) {
    block.assign(1 << 20, 'y');
  } else {
    const std::string line = std::string(78, 'x') + "\r\n";
    while (block.size() < (1 << 20)) block += line;
  }
  for (std::size_t written = 0; written < size; written += block.size())
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - written)));
}

double PlainRead(const std::string& path) {
  const double start = Now();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  std::fseek(file, 0, SEEK_END);
  std::string bytes(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::fseek(file, 0, SEEK_SET);
  if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::fprintf(stderr, "short read\n");
  std::fclose(file);
  return Now() - start;
}

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
  win32::MainWindow window(GetModuleHandleW(nullptr));
  FormProcedures procedures(window, library, [] { return std::make_unique<NoShell>(); });
  window.SetEvents(&procedures);
  window.Show(SW_SHOWNORMAL);
  Settle();
  const HWND output = window.Child(Control::output);

  struct Case {
    const char* name;
    std::size_t size;
    bool oneLine;
  };
  const Case cases[] = {{"64 MB, 80-character lines", 64u << 20, false},
                        {"1 MB, one line", 1u << 20, true},
                        {"16 MB, one line", 16u << 20, true}};
  std::printf("%-28s %12s %12s %12s %14s\n", "reply", "reload ms", "plain read", "ratio", "end+copy ms");
  for (const Case& c : cases) {
    const std::string path = "win32_window_bench_reply.txt";
    WriteReply(path, c.size, c.oneLine);
    window.SetText(Control::output, u"");
    SetWindowTextA(window.Child(Control::repFile), path.c_str());
    const double plain = PlainRead(path);

    double start = Now();
    RaiseClick(procedures, Control::RefreshButton);
    RedrawWindow(output, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // painted, as seen
    const double reload = Now() - start;

    start = Now();
    SendMessageW(output, WM_VSCROLL, SB_BOTTOM, 0);
    RedrawWindow(output, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    SendMessageW(output, EM_SETSEL, 0, -1);
    SendMessageW(output, WM_COPY, 0, 0);
    const double endCopy = Now() - start;
    Settle();
    std::printf("%-28s %12.1f %12.1f %12.2f %14.1f\n", c.name, reload, plain, reload / plain, endCopy);
    std::remove(path.c_str());
  }
  window.SetEvents(nullptr);
  return 0;
}
