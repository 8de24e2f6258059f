// The Linux window under load: reloading large replies into the output pane, then scrolling
// to the end and copying everything, each against a plain read of the same file. Also its
// start-up, against a minimal Qt window, in a mode per process (see scripts/bench).
//
//   qt_window_bench reload [folder]      figures for the reply sizes of the goals
//   qt_window_bench startup window|minimal
//   qt_window_bench cycle                a request cycle with the scripted library
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <fstream>
#include <string>
#include <time.h>
#include <unistd.h>

#include "commands/procedures.h"
#include "reply_files.h"
#include "window/qt/text_pane.h"
#include "window/qt/web_api_form.h"

using namespace webapitest;

namespace {

double Ms(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

class NoShell : public Shell {
 public:
  void Open(std::u16string_view) override {}
};

void Key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(widget, &press);
}

int Reload(const std::string& folder) {
  ClientLibrary library(u"unused");  // reloading calls no library
  WebApiForm window;
  FormProcedures procedures(window, library, [] { return std::make_unique<NoShell>(); });
  window.SetEvents(procedures);
  window.show();
  QApplication::processEvents();
  auto* pane = static_cast<TextPane*>(window.Widget(Control::output));

  std::printf("%-28s %12s %12s %12s %14s %12s\n", "reply", "reload ms", "plain read", "ratio", "end+copy ms",
              "peak MB");
  for (const bench::ReplyCase& c : bench::kReplyCases) {
    const std::string path = folder + "/qt_window_bench_reply.txt";
    bench::WriteReply(path, c);
    window.SetText(Control::output, u"");
    const QString qpath = QString::fromStdString(path);
    static_cast<QLineEdit*>(window.Widget(Control::repFile))->setText(qpath);
    const double plain = bench::PlainRead(path);

    QElapsedTimer timer;
    timer.start();
    RaiseClick(procedures, Control::RefreshButton);
    pane->viewport()->repaint();  // the text painted, as the user sees it
    const double reload = Ms(timer);

    pane->setFocus();
    timer.restart();
    Key(pane, Qt::Key_End, Qt::ControlModifier);
    pane->viewport()->repaint();
    Key(pane, Qt::Key_A, Qt::ControlModifier);
    Key(pane, Qt::Key_C, Qt::ControlModifier);
    const double endCopy = Ms(timer);
    // Copied with LF line breaks: one character less a line.
    const std::u16string_view shown = pane->Text();
    qsizetype expected = static_cast<qsizetype>(shown.size());
    for (std::size_t i = 0; i + 1 < shown.size(); ++i) expected -= shown[i] == u'\r' && shown[i + 1] == u'\n';
    const bool whole = QApplication::clipboard()->text().size() == expected;

    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
      std::fclose(statm);
    }
    std::printf("%-28s %12.1f %12.1f %12.2f %14.1f %12.0f%s\n", c.name, reload, plain, reload / plain, endCopy,
                static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6,
                whole ? "" : "  (copy incomplete!)");
    std::remove(path.c_str());
  }
  return 0;
}

// A request cycle with the scripted library, which answers at once: what the window adds.
int Cycle() {
  ClientLibrary library(QString::fromLocal8Bit(qgetenv("WEBAPITEST_LIBRARY")).toStdU16String());
  WebApiForm window;
  FormProcedures procedures(window, library, [] { return std::make_unique<NoShell>(); });
  window.SetEvents(procedures);
  if (!window.Load()) return 1;
  window.show();
  QApplication::processEvents();
  static_cast<QLineEdit*>(window.Widget(Control::repFile))->setText(QStringLiteral("/tmp/qt_window_bench_cycle.txt"));
  constexpr int kRounds = 500;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < kRounds; ++i) RaiseClick(procedures, Control::StatusButton);
  const double cycle = Ms(timer) / kRounds;
  timer.restart();
  for (int i = 0; i < kRounds; ++i) RaiseClick(procedures, Control::RefreshButton);
  const double reload = Ms(timer) / kRounds;
  std::printf("request cycle %.3f ms, of which reload %.3f ms: the window adds %.3f ms\n", cycle, reload,
              cycle - reload);
  std::remove("/tmp/qt_window_bench_cycle.txt");
  return 0;
}

// Milliseconds since this process started, from the kernel's record of its start.
double SinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string field;
  for (int i = 0; i < 22 && stat >> field; ++i) {
  }
  const double startTicks = std::stod(field);
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
  return nowMs - startTicks * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Reports the time of the first paint and the memory once idle, then ends the program.
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      firstPaint_ = SinceProcessStart();
      QTimer::singleShot(1000, qApp, [this] {
        long pages = 0, resident = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (statm && std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        if (statm) std::fclose(statm);
        std::printf("%.1f %ld\n", firstPaint_, resident * sysconf(_SC_PAGESIZE) / 1024);
        QApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool painted_ = false;
  double firstPaint_ = 0;
};

int Startup(const std::string& which) {
  FirstPaint watcher;
  if (which == "minimal") {
    QWidget widget;
    widget.installEventFilter(&watcher);
    widget.show();
    return QApplication::exec();
  }
  // Wired as the program wires it, with the scripted library from the test folder.
  ClientLibrary library(QString::fromLocal8Bit(qgetenv("WEBAPITEST_LIBRARY")).toStdU16String());
  WebApiForm window;
  FormProcedures procedures(window, library, [] { return std::make_unique<NoShell>(); });
  window.SetEvents(procedures);
  window.installEventFilter(&watcher);
  if (!window.Load()) return 1;
  window.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "reload";
  if (mode == "startup") return Startup(argc > 2 ? argv[2] : "window");
  if (mode == "cycle") return Cycle();
  return Reload(argc > 2 ? argv[2] : "/tmp");
}
