#pragma once

#include "shell/ui/WindowPointer.h"

#include <QHash>
#include <QObject>

class QWidget;

namespace velmora {

// Which pointer the window shows while the mouse moves over its controls: the hand over
// command buttons, the arrow over backgrounds and fields. Controls without a rule leave
// the pointer as it is, and no rule replaces the hourglass.
class PointerRules : public QObject {
public:
    enum class Rule { Arrow, Hand };

    explicit PointerRules(WindowPointer& pointer) : pointer_(pointer) {}

    // The rule holds over the control and over everything it is made of (a date picker's
    // edit field, a text box's scroll bars).
    void overControl(QWidget* control, Rule rule);
    // The rule holds over the widget's own background only; over its children their own
    // rules hold, or none.
    void overBackground(QWidget* widget, Rule rule);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Watch {
        Rule rule;
        bool backgroundOnly;
    };
    void watch(QWidget* widget, Watch how);

    WindowPointer& pointer_;
    QHash<const QObject*, Watch> watched_;
};

}  // namespace velmora
