// The Linux window against the stand-in library and a real manager host on loopback: the
// three kinds of request, clicked as a user clicks them, each ending in a reply in the pane.
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "client/request_template.h"
#include "commands/procedures.h"
#include "doubles/recording_form.h"
#include "window/qt/light.h"
#include "window/qt/text_pane.h"
#include "window/qt/web_api_form.h"

using namespace webapitest;

class EndToEndTest : public QObject {
  Q_OBJECT

 private:
  QProcess manager_;
  QString address_;  // 127.0.0.1:PORT of the running manager host
  QTemporaryDir dir_;
  std::unique_ptr<ClientLibrary> library_;
  std::unique_ptr<WebApiForm> window_;
  std::unique_ptr<FormProcedures> procedures_;
  std::vector<std::u16string> opened_;

  void Type(Control box, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(window_->Widget(box));
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  QString Output() const { return qobject_cast<TextPane*>(window_->Widget(Control::output))->PlainText(); }
  QString Status() const { return qobject_cast<QLineEdit*>(window_->Widget(Control::status))->text(); }
  bool StatusLightGreen() const {
    const Light& light = window_->LightOf(Control::StatusShape);
    return light.PaintedFill() == Fill::Solid && light.PaintedColor() == kGreen;
  }

 private slots:
  void initTestCase() {
    manager_.setProcessChannelMode(QProcess::SeparateChannels);
    manager_.start(QStringLiteral(WEBAPITEST_MANAGER), {"--listen", "127.0.0.1:0", "--quiet"});
    QVERIFY(manager_.waitForStarted(5000));
    QRegularExpression listening(QStringLiteral("listening on (127\\.0\\.0\\.1:\\d+)"));
    for (int i = 0; i < 50 && address_.isEmpty(); ++i) {
      manager_.waitForReadyRead(100);
      const auto match = listening.match(QString::fromUtf8(manager_.readAllStandardOutput()));
      if (match.hasMatch()) address_ = match.captured(1);
    }
    QVERIFY2(!address_.isEmpty(), "the manager host did not say where it listens");

    library_ = std::make_unique<ClientLibrary>(QStringLiteral(WEBAPITEST_STANDIN).toStdU16String());
    window_ = std::make_unique<WebApiForm>();
    procedures_ = std::make_unique<FormProcedures>(*window_, *library_, [this] {
      return std::make_unique<testing::RecordingShell>(opened_);
    });
    window_->SetEvents(*procedures_);
    QVERIFY(window_->Load());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(Status(), QStringLiteral("0"));
    Type(Control::repFile, dir_.filePath("reply.txt"));
  }

  void cleanupTestCase() {
    window_->close();
    manager_.terminate();
    manager_.waitForFinished(5000);
  }

  void statusRequest() {
    Type(Control::host, address_);
    QTest::mouseClick(window_->Widget(Control::StatusButton), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("0"));
    QVERIFY(StatusLightGreen());
    QVERIFY2(!Output().isEmpty(), qPrintable(Output()));
  }

  void freeTextRequestOfTheTemplate() {
    // The template names port 3380; this test's manager host listens elsewhere.
    QString document = QString::fromStdU16String(std::u16string(RequestTemplate));
    document.replace(QStringLiteral("127.0.0.1:3380"), address_);
    window_->SetText(Control::request, document.toStdU16String());
    QTest::mouseClick(window_->Widget(Control::MemRequestButton), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("0"));
    QVERIFY(StatusLightGreen());
    QVERIFY2(Output().contains(QStringLiteral("value='25'")), qPrintable(Output()));
  }

  void fileRequestRawAndPlain() {
    QString document = QString::fromStdU16String(std::u16string(RequestTemplate));
    document.replace(QStringLiteral("127.0.0.1:3380"), address_);
    QFile file(dir_.filePath("request.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(document.toUtf8());
    file.close();
    Type(Control::reqFile, file.fileName());
    QTest::mouseClick(window_->Widget(Control::FileRequestButton), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("0"));
    QVERIFY2(Output().startsWith(QStringLiteral("<variable")), qPrintable(Output()));

    QTest::mouseClick(window_->Widget(Control::checkFileRaw), Qt::LeftButton);
    QTest::mouseClick(window_->Widget(Control::FileRequestButton), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("0"));
    QVERIFY2(Output().contains(QStringLiteral("<webapireply>")), qPrintable(Output()));
  }

  void aMissingRequestFileIsAFaultInThePane() {
    Type(Control::reqFile, dir_.filePath("missing.xml"));
    QTest::mouseClick(window_->Widget(Control::FileRequestButton), Qt::LeftButton);
    QVERIFY(Status() != QStringLiteral("0"));
    QVERIFY2(Output().contains(QStringLiteral("missing.xml")), qPrintable(Output()));
  }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
