#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace velmora {

// A command of `window` that its keys reach wherever the focus is in it, owned by the window.
// A key listed twice (a standard key that is also named) is taken once: twice, the shortcut
// would be ambiguous and do nothing.
QAction* AddWindowCommand(QWidget& window, const QString& text, const QList<QKeySequence>& keys,
                          std::function<void()> run);

// One row of a window's table of commands: where the window keeps it, its text (empty for a
// command that only keys reach), its keys, what it does, and the button that shows it, if any.
struct WindowCommandRow {
    QAction** command = nullptr;
    QString text;
    QList<QKeySequence> keys;
    std::function<void()> run;
    QPushButton* button = nullptr;
};

// Makes the window's commands from its table (AddWindowCommand), each button the view of its
// command (ShowCommandOnButton), its tooltip naming the command's keys where it has some.
void AddWindowCommands(QWidget& window, const QList<WindowCommandRow>& table);

// Commands of which one is chosen at a time, checked as chosen; `chosen` is told the index of
// the one the user chooses. Returns them in the order of `texts`.
QList<QAction*> AddChoiceCommands(QWidget& window, const QStringList& texts, int checked,
                                  std::function<void(int)> chosen);

// Adds `groups` of commands to `menu`, a separator between one group and the next.
void AddCommandGroups(QMenu& menu, const QList<QList<QAction*>>& groups);

// `button` is a view of `command`: a click triggers the command, and the button is enabled
// while the command is, so that a window enables its commands alone.
void ShowCommandOnButton(QPushButton& button, QAction& command);

}  // namespace velmora
