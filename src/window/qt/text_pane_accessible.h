// What a screen reader sees of the output pane: read-only text with a caret and a selection.
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace webapitest {

// The factory Qt asks for the pane's accessible interface; installed once by the first pane.
QAccessibleInterface* TextPaneAccessible(const QString& className, QObject* object);

}  // namespace webapitest
