#include "FieldGroup.h"

#include "coversheet/DateWording.h"
#include "shell/Failure.h"
#include "shell/SettingsStore.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTimer>
#include <cmath>

namespace velmora {

using coversheet::FieldKind;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QChar kLf = QLatin1Char('\n');

// Selects a text field's whole text when it receives focus. The selection waits until the
// event that gave the focus is done, so a mouse click does not undo it.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
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

Qt::CheckState tickState(const QString& stored) {
    // 0 clear, 1 ticked, 2 greyed
    bool numeric = false;
    const double number = stored.trimmed().toDouble(&numeric);
    switch (numeric ? std::lround(number) : -1) {
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

bool isNumber(const QString& text) {
    bool numeric = false;
    text.trimmed().toDouble(&numeric);
    return numeric;
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
    const auto changed = [this, index] { memberChanged(index); };
    switch (field_.kind) {
        case FieldKind::Text: {
            auto* line = qobject_cast<QLineEdit*>(control);
            Q_ASSERT(line);
            connect(line, &QLineEdit::textChanged, this, changed);
            line->installEventFilter(new SelectAllOnFocus(line));
            break;
        }
        case FieldKind::MultiLineText: {
            auto* text = qobject_cast<QPlainTextEdit*>(control);
            Q_ASSERT(text);
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
            return coversheet::DateToSetting(static_cast<QDateEdit*>(control)->date());
        case FieldKind::Tick:
            return QString::number(TickValue(static_cast<QCheckBox*>(control)->checkState()));
    }
    return {};
}

void FieldGroup::setValue(int index, const QString& stored) {
    if (field_.kind == FieldKind::Tick && !isNumber(stored)) return;
    if (value(index) == stored) return;
    show(index, stored);
}

void FieldGroup::restoreMember(int index) {
    QString stored = GetSetting(key());
    if (field_.kind == FieldKind::Date && stored.isEmpty())
        stored = coversheet::DateToSetting(QDate::currentDate());
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
            const auto date = coversheet::DateFromSetting(stored);
            if (!date)
                throw Failure(QStringLiteral("Type mismatch: '%1' is not a date").arg(stored));
            static_cast<QDateEdit*>(control)->setDate(*date);
            break;
        }
        case FieldKind::Tick:
            static_cast<QCheckBox*>(control)->setCheckState(tickState(stored));
            break;
    }
}

void FieldGroup::memberChanged(int index) {
    if (spreading_) return;
    const QString stored = value(index);
    SaveSetting(key(), stored);
    const QScopedValueRollback guard(spreading_, true);
    for (int other = 0; other < memberCount(); ++other)
        if (other != index && value(other) != stored) show(other, stored);
}

}  // namespace velmora
