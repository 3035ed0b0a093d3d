#include "WindowAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace velmora {
namespace {

constexpr char kAccessibleFrameProperty[] = "velmoraAccessibleFrame";

QAccessibleInterface* accessibleFrame(const QString&, QObject* object) {
    auto* window = qobject_cast<QWidget*>(object);
    if (window && window->isWindow() && window->property(kAccessibleFrameProperty).toBool())
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

}  // namespace

void SetWindowAccessibility(QWidget& window, const QString& name, const QString& description) {
    static const bool installed = (QAccessible::installFactory(accessibleFrame), true);
    Q_UNUSED(installed);
    window.setProperty(kAccessibleFrameProperty, true);
    // Read already (accessibility was on before the window was marked): read afresh.
    if (QAccessible::isActive())
        if (QAccessibleInterface* read = QAccessible::queryAccessibleInterface(&window);
            read && read->role() != QAccessible::Window)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(read));
    window.setAccessibleName(name);
    window.setAccessibleDescription(description);
}

}  // namespace velmora
