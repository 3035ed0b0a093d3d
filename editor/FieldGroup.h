#pragma once

#include "coversheet/CoverSheet.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

namespace velmora {

// A tick box's value as the store and the generation run know it: 0 clear, 1 ticked,
// 2 greyed.
int TickValue(Qt::CheckState state);

// The controls that show one cover-sheet field, one per tab that has it. Whatever changes a
// member, typing or code, is stored at once under the field's name and shown by every other
// member, so all members always agree with each other and with the store.
//
// Values travel in the form the store keeps them: text as typed with CR LF line breaks, "0"
// or "1" for a tick box, ISO 8601 for a date.
class FieldGroup : public QObject {
    Q_OBJECT
public:
    explicit FieldGroup(const coversheet::CoverSheetField& field, QObject* parent = nullptr);

    const coversheet::CoverSheetField& field() const { return field_; }
    QString key() const { return QLatin1String(field_.name); }

    // Adds the next member: a QLineEdit for a text field, a QPlainTextEdit for the message,
    // a QDateEdit for a date, a QCheckBox for a tick. Text members select their whole text
    // when they receive focus.
    void addMember(QWidget* control);
    int memberCount() const { return int(members_.size()); }
    QWidget* member(int index) const { return members_.at(index); }

    QString value(int index) const;

    // Puts a stored value into a member, which then passes it on as if it had been typed.
    // A date that cannot be read throws Failure ("Type mismatch"), one outside the picker's
    // range too. A tick value is rounded to a whole number (see NumericText); text that is
    // no number is ignored, a number other than 0, 1 or 2 (greyed) throws Failure. A greyed
    // box stays a two-state box for the user: a click ticks it, the next one clears it.
    void setValue(int index, const QString& stored);

    // Shows the stored value in a member; an unset date shows today. The store keeps what it
    // held, also where the member shows the value in a form of its own.
    void restoreMember(int index);

private:
    // The last edit of a message member's text, as its document reported it.
    struct Edit {
        int position = 0;
        int removed = 0;
        int added = 0;
    };

    void show(int index, const QString& stored);
    void memberChanged(int index);
    bool repeatEdit(int from, int to);

    const coversheet::CoverSheetField& field_;
    std::vector<QPointer<QWidget>> members_;
    std::vector<Edit> lastEdits_;
    bool spreading_ = false;
    std::optional<QString> restoring_;  // the stored value while a member is restored
};

}  // namespace velmora
