#include "DatePicker.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

namespace velmora::editor {
namespace {

// The picker as a spin box whose text is its field's (Qt reads the field only through the spin
// box), with its calendar's window as its last child, and a "show menu" action that opens the
// calendar.
class DatePickerAccessible : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleEditableTextInterface {
public:
    explicit DatePickerAccessible(DatePicker* picker)
        : QAccessibleWidget(picker, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // QAccessibleTextInterface: the field's text, caret and selection.
    void selection(int index, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (index == 0 && field()->hasSelectedText()) {
            *startOffset = field()->selectionStart();
            *endOffset = *startOffset + field()->selectedText().size();
        }
    }
    int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int) override { field()->deselect(); }
    void setSelection(int, int startOffset, int endOffset) override {
        field()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return field()->cursorPosition(); }
    void setCursorPosition(int position) override { field()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override {
        const QString all = field()->text();
        if (endOffset < 0 || endOffset > all.size()) endOffset = int(all.size());
        startOffset = std::clamp(startOffset, 0, endOffset);
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(field()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    // QAccessibleEditableTextInterface: typed into the field, which takes what is a date.
    void deleteText(int startOffset, int endOffset) override {
        replaceText(startOffset, endOffset, QString());
    }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override {
        field()->setSelection(startOffset, endOffset - startOffset);
        field()->insert(text);
    }

    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Value ? picker()->text() : QAccessibleWidget::text(type);
    }

    int childCount() const override {
        return QAccessibleWidget::childCount() + (picker()->calendarWindow() ? 1 : 0);
    }
    QAccessibleInterface* child(int index) const override {
        if (index == QAccessibleWidget::childCount())
            return QAccessible::queryAccessibleInterface(picker()->calendarWindow());
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child && child->object() && child->object() == picker()->calendarWindow())
            return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (picker()->calendarPopup() && picker()->isEnabled()) names << showMenuAction();
        return names;
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction())
            picker()->openCalendar();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    DatePicker* picker() const { return static_cast<DatePicker*>(widget()); }
    QLineEdit* field() const { return picker()->field(); }
};

// The calendar's window, a pane of its picker's.
class CalendarWindowAccessible : public QAccessibleWidget {
public:
    explicit CalendarWindowAccessible(QWidget* window)
        : QAccessibleWidget(window, QAccessible::Pane) {}

    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(widget()->parentWidget());
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Name && widget()->accessibleName().isEmpty())
            return DatePicker::tr("Calendar");
        return QAccessibleWidget::text(type);
    }
};

QAccessibleInterface* datePickerAccessible(const QString&, QObject* object) {
    if (auto* picker = qobject_cast<DatePicker*>(object)) return new DatePickerAccessible(picker);
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->isWindow() && qobject_cast<DatePicker*>(widget->parentWidget()))
        return new CalendarWindowAccessible(widget);
    return nullptr;
}

}  // namespace

DatePicker::DatePicker(QDate date, QWidget* parent) : QDateEdit(date, parent) {
    static const bool installed = (QAccessible::installFactory(datePickerAccessible), true);
    Q_UNUSED(installed);
    // Read already as a plain spin box while the spin box was made (its value set, with
    // accessibility on): read afresh, as a picker.
    if (QAccessible::isActive())
        if (QAccessibleInterface* read = QAccessible::queryAccessibleInterface(this);
            read && !dynamic_cast<DatePickerAccessible*>(read))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(read));
}

QWidget* DatePicker::calendarWindow() const {
    // Looked for, not made: calendarWidget() would make it.
    const auto* calendar = findChild<QCalendarWidget*>();
    return calendar && calendar->window()->isVisible() ? calendar->window() : nullptr;
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    const bool altArrow = event->modifiers() == Qt::AltModifier &&
                          (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up);
    const bool f4 = event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier;
    if (calendarPopup() && (altArrow || f4)) {
        openCalendar();
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
        // In the tree while it is open (closed, its current day would still say it has the
        // focus).
        if (QAccessible::isActive()) {
            QAccessibleEvent opened(calendar->window(), QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&opened);
        }
    }
}

// The calendar shows each day the arrow keys reach in the picker at once; Escape closes it and
// puts back the date it opened with.
bool DatePicker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && QAccessible::isActive()) {
        QAccessibleEvent closed(watched, QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&closed);
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel)) {
        static_cast<QWidget*>(watched)->close();
        setDate(dateBeforeCalendar_);
        return true;
    }
    return QDateEdit::eventFilter(watched, event);
}

void DatePicker::openCalendar() {
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
