#include "WindowCommand.h"

#include <QAction>
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

}  // namespace velmora
