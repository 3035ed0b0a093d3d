#include "DatePicker.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace velmora::editor {

void DatePicker::keyPressEvent(QKeyEvent* event) {
    const bool altArrow = event->modifiers() == Qt::AltModifier &&
                          (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up);
    const bool f4 = event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier;
    if (calendarPopup() && (altArrow || f4)) {
        showCalendar();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

void DatePicker::mousePressEvent(QMouseEvent* event) {
    const QDate before = date();
    QDateEdit::mousePressEvent(event);
    if (QCalendarWidget* calendar = calendarWidget(); calendar && calendar->isVisible()) {
        dateBeforeCalendar_ = before;
        calendar->window()->installEventFilter(this);
    }
}

// The calendar shows each day the arrow keys reach in the picker at once; Escape closes it and
// puts back the date it opened with.
bool DatePicker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel)) {
        static_cast<QWidget*>(watched)->close();
        setDate(dateBeforeCalendar_);
        return true;
    }
    return QDateEdit::eventFilter(watched, event);
}

void DatePicker::showCalendar() {
    // The calendar opens where the button is pressed; press it.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QPointF button =
        style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this)
            .center();
    QMouseEvent press(QEvent::MouseButtonPress, button, mapToGlobal(button), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    mousePressEvent(&press);
}

}  // namespace velmora::editor
