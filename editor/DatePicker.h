#pragma once

#include <QDate>
#include <QDateEdit>

class QLineEdit;

namespace velmora::editor {

// A date picker: Tab leaves it at once, the arrow keys move between its day, month and year,
// and Alt+Down or F4 opens its calendar, as the drop-down button does. In the calendar the
// arrow keys move the picker's date at once; Escape closes it and puts back the date it
// opened with.
//
// Assistive technology finds the open calendar in the picker (a pop-up window, which Qt's
// reading leaves out of the tree) and opens it with the picker's "show menu" action.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QDate date, QWidget* parent = nullptr);

    // Opens the calendar, as Alt+Down does.
    void openCalendar();
    // The window the calendar shows in while it is open; null while it is closed.
    QWidget* calendarWindow() const;
    // The field the date is typed into.
    QLineEdit* field() const { return lineEdit(); }

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDate dateBeforeCalendar_;
};

}  // namespace velmora::editor
