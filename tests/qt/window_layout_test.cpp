// The window as built from the control table: where each control is, what it shows and says,
// its fonts, its starting state, and a layout that never moves.
#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "window/qt/light.h"
#include "window/qt/text_pane.h"
#include "window/qt/web_api_form.h"

using namespace webapitest;

Q_DECLARE_METATYPE(Control)

namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

const ControlItem& ItemNamed(const QString& name) {
  for (const ControlItem& item : kControls)
    if (QString::fromUtf8(item.name.data(), static_cast<qsizetype>(item.name.size())) == name) return item;
  throw std::invalid_argument("no such control");
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WebApiForm> window_;

 private slots:
  void init() {
    window_ = std::make_unique<WebApiForm>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() { window_.reset(); }

  void windowIsFixedAt594By522() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Web-API DLL Test"));
    QCOMPARE(window_->size(), QSize(594, 522));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    const QRect request = window_->Widget(Control::request)->geometry();
    window_->resize(800, 700);
    QCOMPARE(window_->size(), QSize(594, 522));
    // Where the platform maximises even a fixed window, the controls stay where they are.
    window_->showMaximized();
    QTest::qWait(20);
    QCOMPARE(window_->Widget(Control::request)->geometry(), request);
    QCOMPARE(window_->Widget(Control::output)->mapTo(window_.get(), QPoint(0, 0)), QPoint(16, 368));
  }

  // Pixel rectangles in the window's client area at 96 DPI.
  void controlSitsAtItsPlace_data() {
    QTest::addColumn<QRect>("rect");
    const std::pair<const char*, QRect> rows[] = {
        {"HostLabel", QRect(8, 8, 65, 25)},          {"host", QRect(104, 8, 281, 25)},
        {"StatusButton", QRect(392, 8, 193, 25)},    {"FileLabel", QRect(8, 43, 87, 25)},
        {"reqFile", QRect(104, 43, 281, 25)},        {"checkFileRaw", QRect(392, 43, 42, 25)},
        {"FileRequestButton", QRect(440, 43, 57, 25)}, {"RequestUrl", QRect(504, 43, 81, 25)},
        {"MemRequestFrame", QRect(8, 80, 577, 193)}, {"request", QRect(16, 96, 561, 137)},
        {"checkMemRaw", QRect(16, 240, 49, 25)},     {"MemRequestButton", QRect(72, 240, 177, 25)},
        {"ResetButton", QRect(400, 240, 177, 25)},   {"ReplyLabel", QRect(8, 280, 56, 25)},
        {"repFile", QRect(104, 280, 281, 25)},       {"RefreshButton", QRect(392, 280, 89, 25)},
        {"ReplyUrl", QRect(496, 280, 89, 25)},       {"ActiveLabel", QRect(8, 320, 97, 25)},
        {"ActiveShape", QRect(112, 320, 25, 25)},    {"LastStatusLabel", QRect(160, 320, 97, 25)},
        {"StatusShape", QRect(264, 320, 25, 25)},    {"StatusLabel", QRect(312, 320, 71, 25)},
        {"status", QRect(392, 320, 89, 25)},         {"ClearButton", QRect(496, 320, 89, 25)},
        {"OutputFrame", QRect(8, 352, 577, 161)},    {"output", QRect(16, 368, 561, 137)},
    };
    QCOMPARE(std::size(rows), kControlCount);
    for (const auto& [name, rect] : rows) QTest::newRow(name) << rect;
  }
  void controlSitsAtItsPlace() {
    QFETCH(QRect, rect);
    const ControlItem& item = ItemNamed(QTest::currentDataTag());
    QWidget* widget = window_->Widget(item.id);
    QCOMPARE(widget->objectName(), QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(QRect(widget->mapTo(window_.get(), QPoint(0, 0)), widget->size()), rect);
    // Controls of a frame are the frame's children; the rest belong to the window itself.
    QWidget* container = item.container == Control::Window ? window_.get() : window_->Widget(item.container);
    QCOMPARE(widget->parentWidget(), container);
    QVERIFY(widget->isVisible());
  }

  // Each control is the Qt widget of its kind and shows its caption or initial text, its
  // tooltip and, for assistive technology, a name and a description.
  void controlShowsItsTexts_data() {
    QTest::addColumn<QString>("accessibleName");
    const std::pair<const char*, const char*> rows[] = {
        {"HostLabel", "Status host"},
        {"host", "Status host"},
        {"StatusButton", "Run Status Request"},
        {"reqFile", "Request file"},
        {"checkFileRaw", "Raw"},
        {"request", "Free-Text Request Data"},
        {"MemRequestButton", "Run Free-Text Request"},
        {"ResetButton", "Reset Free-Text to Template"},
        {"repFile", "Reply file"},
        {"RefreshButton", "Reload to output"},
        {"ActiveShape", "Request active"},
        {"StatusShape", "Request status"},
        {"status", "Status code"},
        {"OutputFrame", "Web-API Client Output"},
        {"output", "Web-API Client Output"},
    };
    for (const auto& [name, accessible] : rows) QTest::newRow(name) << QString::fromUtf8(accessible);
  }
  void controlShowsItsTexts() {
    QFETCH(QString, accessibleName);
    const ControlItem& item = ItemNamed(QTest::currentDataTag());
    QWidget* widget = window_->Widget(item.id);
    const QString text = Q(item.text);
    switch (item.kind) {
      case Kind::Label:
        QCOMPARE(qobject_cast<QLabel*>(widget)->text(), text);
        break;
      case Kind::CommandButton:
        QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), text);  // "&" marks Qt's mnemonic
        break;
      case Kind::CheckBox:
        QCOMPARE(qobject_cast<QCheckBox*>(widget)->text(), text);
        break;
      case Kind::Frame:
        QCOMPARE(qobject_cast<QGroupBox*>(widget)->title(), text);
        break;
      case Kind::TextBox:
        if (auto* pane = qobject_cast<TextPane*>(widget))
          QCOMPARE(pane->PlainText(), text);
        else if (item.flags & kMultiLine)
          QCOMPARE(qobject_cast<QPlainTextEdit*>(widget)->toPlainText(), text);
        else
          QCOMPARE(qobject_cast<QLineEdit*>(widget)->text(), text);
        break;
      case Kind::Light:
        QVERIFY(dynamic_cast<Light*>(widget));
        break;
    }
    QCOMPARE(widget->toolTip(), Q(item.tooltip));
    QCOMPARE(widget->accessibleName(), accessibleName);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), accessibleName);
    if (item.kind == Kind::Light)  // a light is described by its label's tooltip
      QVERIFY(widget->accessibleDescription().startsWith(QStringLiteral("This light will be green")));
    else
      QCOMPARE(widget->accessibleDescription(), Q(item.tooltip));
  }

  void everyControlIsNamedAndOnlyTheEightHaveTooltips() {
    int withTooltip = 0;
    for (const ControlItem& item : kControls) {
      QWidget* widget = window_->Widget(item.id);
      QVERIFY2(!widget->accessibleName().isEmpty(), item.name.data());
      if (!widget->toolTip().isEmpty()) ++withTooltip;
    }
    QCOMPARE(withTooltip, 8);
  }

  void fontsAreTheTablesOrTheirStandIns_data() {
    QTest::addColumn<Control>("control");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("fixedPitch");
    const QString mono = QStringLiteral("Liberation Mono");
    const QString sans = QStringLiteral("Liberation Sans");
    QTest::newRow("request") << Control::request << mono << 8.25 << true;
    QTest::newRow("output") << Control::output << mono << 8.25 << true;
    QTest::newRow("status") << Control::status << mono << 9.75 << true;
    QTest::newRow("HostLabel") << Control::HostLabel << sans << 9.75 << false;
    QTest::newRow("LastStatusLabel") << Control::LastStatusLabel << sans << 9.75 << false;
    QTest::newRow("host: the window's font") << Control::host << sans << 8.25 << false;
    QTest::newRow("StatusButton: the window's font") << Control::StatusButton << sans << 8.25 << false;
    QTest::newRow("checkMemRaw: the window's font") << Control::checkMemRaw << sans << 8.25 << false;
    QTest::newRow("OutputFrame: the window's font") << Control::OutputFrame << sans << 8.25 << false;
  }
  void fontsAreTheTablesOrTheirStandIns() {
    QFETCH(Control, control);
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(bool, fixedPitch);
    const QFont font = window_->Widget(control)->font();
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    const QFontInfo shown(font);
    QCOMPARE(shown.family(), family);
    QCOMPARE(shown.fixedPitch(), fixedPitch);
  }

  void startsBeforeLoadingWithEmptyBoxesAndDarkLights() {
    QCOMPARE(window_->Text(Control::status), u"0");
    QCOMPARE(window_->Text(Control::output), u"");
    QCOMPARE(window_->Text(Control::request), u"");
    QCOMPARE(window_->Value(Control::checkFileRaw), 0);
    QCOMPARE(window_->Value(Control::checkMemRaw), 0);
    for (const Control light : {Control::ActiveShape, Control::StatusShape}) {
      QVERIFY(window_->LightOf(light).PaintCount() > 0);
      QCOMPARE(window_->LightOf(light).PaintedFill(), Fill::Transparent);
    }
    QCOMPARE(QApplication::focusWidget(), window_->Widget(Control::host));
  }

  // The two buttons over the free-text frame's bottom strip are seen and take the click.
  void buttonsOverTheFrameAreOnTop_data() {
    QTest::addColumn<Control>("button");
    QTest::newRow("MemRequestButton") << Control::MemRequestButton;
    QTest::newRow("ResetButton") << Control::ResetButton;
  }
  void buttonsOverTheFrameAreOnTop() {
    QFETCH(Control, button);
    QWidget* widget = window_->Widget(button);
    const QPoint centre = widget->geometry().center();
    QCOMPARE(window_->childAt(centre), widget);
  }

  void longLinesScrollInRequestAndWrapInOutput() {
    const std::u16string line(400, u'x');
    window_->SetText(Control::request, line);
    window_->SetText(Control::output, line);
    QApplication::processEvents();
    auto* request = qobject_cast<QPlainTextEdit*>(window_->Widget(Control::request));
    auto* output = qobject_cast<TextPane*>(window_->Widget(Control::output));
    QCOMPARE(request->document()->firstBlock().layout()->lineCount(), 1);
    QVERIFY(request->horizontalScrollBar()->maximum() > 0);
    QVERIFY(output->model().RowCount() > 1);
    QCOMPARE(output->horizontalScrollBar()->maximum(), 0);
  }

  // The request box shows both scroll bars and the output pane its vertical one at all times,
  // also with one short line; labels sit at their top-left corner.
  void scrollBarsAlwaysShowAndLabelsSitTopLeft() {
    window_->SetText(Control::request, u"short");
    QApplication::processEvents();
    auto* request = qobject_cast<QPlainTextEdit*>(window_->Widget(Control::request));
    auto* output = qobject_cast<TextPane*>(window_->Widget(Control::output));
    QVERIFY(request->horizontalScrollBar()->isVisible() && request->verticalScrollBar()->isVisible());
    QVERIFY(output->verticalScrollBar()->isVisible() && !output->horizontalScrollBar()->isVisible());
    for (const ControlItem& item : kControls)
      if (item.kind == Kind::Label)
        QCOMPARE(qobject_cast<QLabel*>(window_->Widget(item.id))->alignment(), Qt::AlignLeft | Qt::AlignTop);
  }

  // A reply of one long line is shown whole, and quickly enough to wait for.
  void aLongOneLineReplyIsShownWhole() {
    const std::u16string reply = std::u16string(1 << 20, u'y') + u"\r\n";
    QElapsedTimer timer;
    timer.start();
    window_->SetText(Control::output, reply);
    QApplication::processEvents();
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(window_->Text(Control::output), reply);
  }
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
