#include "ShortcutToolTip.h"

#include <QAction>
#include <QStringList>

namespace velmora {

QString ShortcutToolTip(const QAction& action) {
    QStringList keys;
    for (const QKeySequence& shortcut : action.shortcuts())
        keys << shortcut.toString(QKeySequence::NativeText);
    const QString text = action.text().remove(QLatin1Char('&'));
    return keys.isEmpty() ? text
                          : QStringLiteral("%1 (%2)").arg(text, keys.join(QStringLiteral(", ")));
}

}  // namespace velmora
