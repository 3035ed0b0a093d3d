#include "PointerRules.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

namespace velmora {

void PointerRules::overControl(QWidget* control, Rule rule) {
    watch(control, {rule, false});
    for (QWidget* part : control->findChildren<QWidget*>()) watch(part, {rule, false});
}

void PointerRules::overBackground(QWidget* widget, Rule rule) {
    watch(widget, {rule, true});
}

void PointerRules::watch(QWidget* widget, Watch how) {
    watched_.insert(widget, how);
    // Moves without a pressed button only reach widgets that track the mouse.
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject* gone) { watched_.remove(gone); });
}

bool PointerRules::eventFilter(QObject* watched, QEvent* event) {
    QPointF at;
    if (event->type() == QEvent::MouseMove)
        at = static_cast<QMouseEvent*>(event)->position();
    else if (event->type() == QEvent::Enter)
        at = static_cast<QEnterEvent*>(event)->position();
    else
        return false;

    const auto found = watched_.constFind(watched);
    if (found == watched_.cend()) return false;
    // A move over a child that ignored it arrives here too; the child decides.
    if (found->backgroundOnly && static_cast<QWidget*>(watched)->childAt(at.toPoint()))
        return false;
    if (found->rule == Rule::Hand)
        pointer_.handRule();
    else
        pointer_.arrowRule();
    return false;
}

}  // namespace velmora
