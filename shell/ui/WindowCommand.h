#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class QAction;
class QWidget;

namespace velmora {

// A command of `window` that its keys reach wherever the focus is in it, owned by the window.
// A key listed twice (a standard key that is also named) is taken once: twice, the shortcut
// would be ambiguous and do nothing.
QAction* AddWindowCommand(QWidget& window, const QString& text, const QList<QKeySequence>& keys,
                          std::function<void()> run);

}  // namespace velmora
