// The window: its controls, walked from the control table, and the Form operations on them.
#include "window/qt/web_api_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>
#include <QThread>
#include <climits>
#include <stdexcept>

#include "window/qt/fonts.h"
#include "window/qt/light.h"
#include "window/qt/line_breaks.h"
#include "window/qt/text_pane.h"

namespace webapitest {
namespace {

constexpr int kLayoutDpi = 96;  // the table's twips become logical pixels at 96 DPI

int Px(int twips) { return TwipsToPixels(twips, kLayoutDpi); }

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

QWidget* MakeTextBox(const ControlItem& item, QWidget* parent) {
  const bool readOnly = (item.flags & kReadOnly) != 0;
  if (!(item.flags & kMultiLine)) {
    auto* box = new QLineEdit(ToQString(item.text), parent);
    box->setMaxLength(INT_MAX);  // no text box limits its length
    box->setReadOnly(readOnly);
    if (item.flags & kGrayText) {
      QPalette palette = box->palette();
      for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Text, palette.color(QPalette::Disabled, QPalette::Text));
      box->setPalette(palette);
    }
    return box;
  }
  if (readOnly) {
    // The output pane: only the rows on screen are laid out, so no reply is too large.
    auto* pane = new TextPane(parent);
    pane->SetText(std::u16string(item.text));
    return pane;
  }
  auto* box = new QPlainTextEdit(ToQString(item.text), parent);
  box->setTabChangesFocus(true);  // Tab moves on, as in every other control
  // A box's scroll bars are there at all times, also while the text fits (as on Windows).
  box->setVerticalScrollBarPolicy(item.flags & kVScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  if (item.flags & kHScroll) {
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  } else {
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  return box;
}

}  // namespace

WebApiForm::WebApiForm(QWidget* parent)
    : QWidget(parent),
      host_({[this](const std::string& message) {
               ShowCriticalBox(ToQString(kWindowTitle),
                               QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
             },
             [this] { CloseNow(); }}) {
  RegisterFontSubstitutes();
  setWindowTitle(ToQString(kWindowTitle));
  setFont(ToQFont(Font{Face::WindowFont, 0}));
  setFixedSize(Px(kClientWidth), Px(kClientHeight));  // the layout is fixed: nothing moves

  for (const ControlItem& item : kControls) widgets_[static_cast<std::size_t>(item.id)] = Build(item);

  // The two buttons that sit over the free-text frame's bottom strip stay above it.
  for (const ControlItem& item : kControls)
    if (item.kind == Kind::Frame) Widget(item.id)->lower();

  const auto order = TabOrder();
  for (std::size_t i = 0; i + 1 < order.size(); ++i) setTabOrder(Widget(order[i]), Widget(order[i + 1]));
  setTabOrder(Widget(order.back()), Widget(order.front()));
  Widget(order.front())->setFocus();
}

QWidget* WebApiForm::Build(const ControlItem& item) {
  // The table lists a frame before the controls it contains.
  QWidget* parent = item.container == Control::Window ? this : Widget(item.container);
  if (!parent) throw std::logic_error("a control's frame must come before it in the control table");

  QWidget* widget = nullptr;
  switch (item.kind) {
    case Kind::Label: {
      auto* label = new QLabel(ToQString(item.text), parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // as the platform's labels sit
      widget = label;
      break;
    }
    case Kind::TextBox:
      widget = MakeTextBox(item, parent);
      break;
    case Kind::CommandButton: {
      // Qt reads the "&" of the caption as the access key: Alt and the letter click it.
      auto* button = new QPushButton(ToQString(item.text), parent);
      button->setAutoDefault(false);  // Enter and Escape click no button
      button->setDefault(false);
      const Control id = item.id;
      connect(button, &QPushButton::clicked, this, [this, id] { host_.Click(id); });
      widget = button;
      break;
    }
    case Kind::CheckBox:
      widget = new QCheckBox(ToQString(item.text), parent);
      break;
    case Kind::Frame:
      widget = new QGroupBox(ToQString(item.text), parent);
      break;
    case Kind::Light:
      widget = new Light(parent);
      break;
  }

  widget->setObjectName(QString::fromUtf8(item.name.data(), static_cast<qsizetype>(item.name.size())));
  widget->setGeometry(Px(item.left), Px(item.top), Px(item.width), Px(item.height));
  if (item.kind != Kind::Light) widget->setFont(ToQFont(item.font));
  if (!item.tooltip.empty()) widget->setToolTip(ToQString(item.tooltip));
  widget->setAccessibleName(ToQString(AccessibleName(item)));
  widget->setAccessibleDescription(ToQString(AccessibleDescription(item)));
  if (item.tabIndex < 0 || item.kind == Kind::Label || item.kind == Kind::Frame)
    widget->setFocusPolicy(Qt::NoFocus);
  else
    widget->setFocusPolicy(Qt::StrongFocus);
  return widget;
}

bool WebApiForm::Load() { return host_.Load(); }

void WebApiForm::RequestClose() {
  // An open message box is dismissed, so that the procedure that waits on it can return.
  if (host_.busy())
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  close();
}

void WebApiForm::closeEvent(QCloseEvent* event) {
  if (host_.Closing()) event->accept();
  else event->ignore();
}

void WebApiForm::CloseNow() {
  close();
  // Only a running event loop is left; outside one (a failed load) the caller ends the
  // program, and an exit asked for now would make every later event loop return at once.
  if (host_.exitCode() != 0 && QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(host_.exitCode());
}

const Light& WebApiForm::LightOf(Control light) const {
  if (Lookup(light).kind != Kind::Light) throw std::invalid_argument("not a light");
  return *static_cast<const Light*>(Widget(light));
}

Light& WebApiForm::LightAt(Control light) { return const_cast<Light&>(LightOf(light)); }

std::u16string WebApiForm::Text(Control box) const {
  QWidget* widget = Widget(box);
  if (auto* line = qobject_cast<QLineEdit*>(widget)) return FromQString(line->text());
  if (auto* pane = qobject_cast<TextPane*>(widget)) return std::u16string(pane->Text());
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
    // The raw text keeps what the user typed (non-breaking spaces too); only the line
    // breaks change, to CR LF.
    return ToFormText(edit->document()->toRawText());
  }
  throw std::invalid_argument("not a text box");
}

void WebApiForm::SetText(Control box, std::u16string text) {
  QWidget* widget = Widget(box);
  if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    line->setText(ToQString(text));
    return;
  }
  if (auto* pane = qobject_cast<TextPane*>(widget)) {
    pane->SetText(std::move(text));
    return;
  }
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
    edit->setPlainText(ToWidgetText(text));
    return;
  }
  throw std::invalid_argument("not a text box");
}

int WebApiForm::Value(Control checkBox) const {
  auto* box = qobject_cast<QCheckBox*>(Widget(checkBox));
  if (!box) throw std::invalid_argument("not a check box");
  return box->isChecked() ? 1 : 0;
}

void WebApiForm::SetFillColor(Control light, Rgb color) { LightAt(light).SetColor(color); }

void WebApiForm::SetFillStyle(Control light, Fill fill) { LightAt(light).SetFill(fill); }

void WebApiForm::Repaint(Control light) { LightAt(light).repaint(); }

void WebApiForm::Focus(Control control) { Widget(control)->setFocus(Qt::OtherFocusReason); }

void WebApiForm::ShowCritical(std::u16string_view title, std::u16string_view text) {
  ShowCriticalBox(ToQString(title), ToQString(text));
}

void WebApiForm::ShowCriticalBox(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);  // a path or a message is never read as markup
  box.exec();
}

}  // namespace webapitest
