#include "FieldGroup.h"

#include "HiddenTextLayout.h"

#include "coversheet/StoredDate.h"
#include "shell/Failure.h"
#include "shell/NumericText.h"
#include "shell/SettingsStore.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <limits>

namespace velmora {

using coversheet::FieldKind;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QChar kLf = QLatin1Char('\n');

// Selects a text field's whole text when it receives focus. The selection waits until the
// event that gave the focus is done, so a mouse click does not undo it. The window becoming
// active again, or a menu closing, gives back the focus the field had: the text the user was
// typing into stays as it was, or the next key would replace it all.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // Coming back to the window, from a popup or from the menu bar is no new visit.
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
                reason == Qt::MenuBarFocusReason)
                return false;
            QTimer::singleShot(0, watched, [watched] {
                if (auto* line = qobject_cast<QLineEdit*>(watched))
                    line->selectAll();
                else if (auto* text = qobject_cast<QPlainTextEdit*>(watched))
                    text->selectAll();
            });
        }
        return false;
    }
};

// 0 clear, 1 ticked, 2 greyed; the stored text is taken as a number rounded to a whole one.
Qt::CheckState tickState(const QString& stored) {
    switch (NumericText(stored).toInteger()) {
        case 0:
            return Qt::Unchecked;
        case 1:
            return Qt::Checked;
        case 2:
            return Qt::PartiallyChecked;
        default:
            throw Failure(QStringLiteral("Invalid property value"));
    }
}

// Only the program greys a box; once it is ticked or cleared, the user's clicks only tick
// and clear it.
void keepTwoStateForTheUser(QCheckBox& box) {
    if (box.checkState() != Qt::PartiallyChecked) box.setTristate(false);
}

}  // namespace

int TickValue(Qt::CheckState state) {
    switch (state) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
    }
    return 0;
}

FieldGroup::FieldGroup(const coversheet::CoverSheetField& field, QObject* parent)
    : QObject(parent), field_(field) {}

void FieldGroup::addMember(QWidget* control) {
    const int index = memberCount();
    members_.emplace_back(control);
    lastEdits_.emplace_back();
    const auto changed = [this, index] { memberChanged(index); };
    switch (field_.kind) {
        case FieldKind::Text: {
            auto* line = qobject_cast<QLineEdit*>(control);
            Q_ASSERT(line);
            // Any length, as the store keeps it: no cut at the line edit's usual 32767.
            line->setMaxLength(std::numeric_limits<int>::max());
            connect(line, &QLineEdit::textChanged, this, changed);
            line->installEventFilter(new SelectAllOnFocus(line));
            break;
        }
        case FieldKind::MultiLineText: {
            auto* text = qobject_cast<QPlainTextEdit*>(control);
            Q_ASSERT(text);
            HiddenTextLayout::install(*text);
            // The edit is noted before the change is announced, so that it can be repeated
            // on the other members instead of giving them the whole text again.
            connect(text->document(), &QTextDocument::contentsChange, this,
                    [this, index](int position, int removed, int added) {
                        lastEdits_[size_t(index)] = {position, removed, added};
                    });
            connect(text, &QPlainTextEdit::textChanged, this, changed);
            text->installEventFilter(new SelectAllOnFocus(text));
            break;
        }
        case FieldKind::Date: {
            auto* date = qobject_cast<QDateEdit*>(control);
            Q_ASSERT(date);
            connect(date, &QDateEdit::dateChanged, this, changed);
            break;
        }
        case FieldKind::Tick: {
            auto* tick = qobject_cast<QCheckBox*>(control);
            Q_ASSERT(tick);
            connect(tick, &QCheckBox::stateChanged, this, changed);
            break;
        }
    }
}

QString FieldGroup::value(int index) const {
    QWidget* control = member(index);
    switch (field_.kind) {
        case FieldKind::Text:
            return static_cast<QLineEdit*>(control)->text();
        case FieldKind::MultiLineText:
            return static_cast<QPlainTextEdit*>(control)->toPlainText().replace(kLf, kCrLf);
        case FieldKind::Date:
            return coversheet::StoredDate::write(static_cast<QDateEdit*>(control)->date());
        case FieldKind::Tick:
            return QString::number(TickValue(static_cast<QCheckBox*>(control)->checkState()));
    }
    return {};
}

void FieldGroup::setValue(int index, const QString& stored) {
    if (field_.kind == FieldKind::Tick && !NumericText(stored).isNumeric()) return;
    if (value(index) == stored) return;
    show(index, stored);
}

void FieldGroup::restoreMember(int index) {
    QString stored = GetSetting(key());
    // Written back only as it was read: a member that cannot hold the value exactly never
    // replaces the stored one with its own version.
    const QScopedValueRollback guard(restoring_,
                                     stored.isEmpty() ? std::nullopt : std::optional(stored));
    if (field_.kind == FieldKind::Date && stored.isEmpty())
        stored = coversheet::StoredDate::write(QDate::currentDate());
    setValue(index, stored);
}

void FieldGroup::show(int index, const QString& stored) {
    QWidget* control = member(index);
    switch (field_.kind) {
        case FieldKind::Text:
            static_cast<QLineEdit*>(control)->setText(stored);
            break;
        case FieldKind::MultiLineText: {
            QString text = stored;
            static_cast<QPlainTextEdit*>(control)->setPlainText(text.replace(kCrLf, kLf));
            break;
        }
        case FieldKind::Date: {
            const auto date = coversheet::StoredDate().read(stored);
            if (!date)
                throw Failure(QStringLiteral("Type mismatch: '%1' is not a date").arg(stored));
            auto* picker = static_cast<QDateEdit*>(control);
            // A date the picker cannot show is refused, never moved into its range.
            if (*date < picker->minimumDate() || *date > picker->maximumDate())
                throw Failure(QStringLiteral("Invalid property value: %1 is not between %2 and %3")
                                  .arg(coversheet::StoredDate::write(*date),
                                       coversheet::StoredDate::write(picker->minimumDate()),
                                       coversheet::StoredDate::write(picker->maximumDate())));
            picker->setDate(*date);
            break;
        }
        case FieldKind::Tick: {
            auto* box = static_cast<QCheckBox*>(control);
            box->setCheckState(tickState(stored));
            keepTwoStateForTheUser(*box);
            break;
        }
    }
}

void FieldGroup::memberChanged(int index) {
    if (field_.kind == FieldKind::Tick)
        keepTwoStateForTheUser(*static_cast<QCheckBox*>(member(index)));
    if (spreading_) return;
    const QString stored = value(index);
    if (!restoring_ || *restoring_ == stored) SaveSetting(key(), stored);
    const QScopedValueRollback guard(spreading_, true);
    for (int other = 0; other < memberCount(); ++other)
        if (other != index && !repeatEdit(index, other) && value(other) != stored)
            show(other, stored);
}

// A keystroke in a long message changes a character or two; repeating just that edit on
// another member costs what the edit costs, where giving it the whole text again costs the
// whole text. Whether the member then holds the same text is checked, and answered false
// when it does not, so that the caller gives it the whole text after all.
bool FieldGroup::repeatEdit(int from, int to) {
    if (field_.kind != FieldKind::MultiLineText) return false;
    QTextDocument* source = static_cast<QPlainTextEdit*>(member(from))->document();
    QTextDocument* target = static_cast<QPlainTextEdit*>(member(to))->document();
    const Edit edit = lastEdits_[size_t(from)];
    // Positions run to the document's end, before its closing paragraph separator.
    const int sourceEnd = source->characterCount() - 1;
    const int targetEnd = target->characterCount() - 1;
    if (edit.position < 0 || edit.position + edit.added > sourceEnd ||
        edit.position + edit.removed > targetEnd ||
        targetEnd - edit.removed + edit.added != sourceEnd)
        return false;
    QTextCursor read(source);
    read.setPosition(edit.position);
    read.setPosition(edit.position + edit.added, QTextCursor::KeepAnchor);
    // As one edit block: a cursor moved outside one asks the layout where it stands, and a
    // member whose tab is not shown would lay its whole paragraph out for that.
    QTextCursor write(target);
    write.beginEditBlock();
    write.setPosition(edit.position);
    write.setPosition(edit.position + edit.removed, QTextCursor::KeepAnchor);
    write.insertText(read.selectedText());
    // The members held the same text before (the store-and-mirror rule); the same edit on
    // both leaves them equal again, which their lengths and the edited text confirm.
    bool same = target->characterCount() == source->characterCount();
    if (same) {
        write.setPosition(edit.position);
        write.setPosition(edit.position + edit.added, QTextCursor::KeepAnchor);
        same = write.selectedText() == read.selectedText();
    }
    write.endEditBlock();
    return same;
}

}  // namespace velmora
