#pragma once

#include <QDate>
#include <QDateEdit>

namespace velmora::editor {

// A date picker: Tab leaves it at once, the arrow keys move between its day, month and year,
// and Alt+Down or F4 opens its calendar, as the drop-down button does. In the calendar the
// arrow keys move the picker's date at once; Escape closes it and puts back the date it
// opened with.
class DatePicker : public QDateEdit {
public:
    using QDateEdit::QDateEdit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCalendar();

    QDate dateBeforeCalendar_;
};

}  // namespace velmora::editor
