#include "WindowCommand.h"

#include "ShortcutToolTip.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

namespace velmora {

QAction* AddWindowCommand(QWidget& window, const QString& text, const QList<QKeySequence>& keys,
                          std::function<void()> run) {
    QList<QKeySequence> distinct;
    for (const QKeySequence& sequence : keys)
        if (!sequence.isEmpty() && !distinct.contains(sequence)) distinct << sequence;
    auto* command = new QAction(text, &window);
    command->setShortcuts(distinct);
    command->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(command, &QAction::triggered, &window, std::move(run));
    window.addAction(command);
    return command;
}

void AddWindowCommands(QWidget& window, const QList<WindowCommandRow>& table) {
    for (const WindowCommandRow& row : table) {
        QAction* command = AddWindowCommand(window, row.text, row.keys, row.run);
        if (row.command) *row.command = command;
        if (!row.button) continue;
        ShowCommandOnButton(*row.button, *command);
        if (!row.keys.isEmpty()) row.button->setToolTip(ShortcutToolTip(*command));
    }
}

void ShowCommandOnButton(QPushButton& button, QAction& command) {
    QObject::connect(&button, &QPushButton::clicked, &command, &QAction::trigger);
    const auto follow = [&button, &command] { button.setEnabled(command.isEnabled()); };
    QObject::connect(&command, &QAction::changed, &button, follow);
    follow();
}

}  // namespace velmora

namespace velmora {

QList<QAction*> AddChoiceCommands(QWidget& window, const QStringList& texts, int checked,
                                  std::function<void(int)> chosen) {
    auto* group = new QActionGroup(&window);
    QList<QAction*> commands;
    for (int i = 0; i < texts.size(); ++i) {
        QAction* command = group->addAction(texts[i]);
        command->setCheckable(true);
        command->setChecked(i == checked);
        QObject::connect(command, &QAction::triggered, &window, [chosen, i] { chosen(i); });
        commands << command;
    }
    return commands;
}

void AddCommandGroups(QMenu& menu, const QList<QList<QAction*>>& groups) {
    for (const QList<QAction*>& group : groups) {
        if (&group != &groups.front()) menu.addSeparator();
        menu.addActions(group);
    }
}

}  // namespace velmora
