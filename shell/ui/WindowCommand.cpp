#include "WindowCommand.h"

#include <QAction>
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
        if (row.button) ShowCommandOnButton(*row.button, *command);
    }
}

void ShowCommandOnButton(QPushButton& button, QAction& command) {
    QObject::connect(&button, &QPushButton::clicked, &command, &QAction::trigger);
    const auto follow = [&button, &command] { button.setEnabled(command.isEnabled()); };
    QObject::connect(&command, &QAction::changed, &button, follow);
    follow();
}

}  // namespace velmora
