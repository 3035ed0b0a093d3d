#include "FieldControls.h"

#include "coversheet/StoredDate.h"
#include "editor/DatePicker.h"
#include "editor/EditorPalette.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>

namespace velmora::editor {

using namespace coversheet;

QString MemberName(const CoverSheetField& field, int member) {
    const QString name = QLatin1String(field.name);
    return field.single ? name : name + QLatin1Char('_') + QString::number(member);
}

QWidget* CreateMember(const CoverSheetField& field, int member, QWidget* parent) {
    QWidget* control = nullptr;
    switch (field.kind) {
        case FieldKind::Text:
            control = new QLineEdit(parent);
            break;
        case FieldKind::MultiLineText: {
            auto* text = new QPlainTextEdit(parent);
            // The field lays its paragraph out again on every key. Without shaping text that
            // needs none (a script that needs it still gets it), a long one costs half as
            // much; only kerning is given up. The rest of the font is the window's.
            QFont unshaped;
            unshaped.setStyleStrategy(QFont::PreferNoShaping);
            text->setFont(unshaped);
            text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            text->setTabChangesFocus(true);
            control = text;
            break;
        }
        case FieldKind::Date: {
            auto* date = new DatePicker(QDate::currentDate(), parent);
            // Month abbreviations in English whatever the desktop's language: 06-Dec-2026.
            date->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
            date->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
            date->setDateRange(StoredDate::earliest(), StoredDate::latest());
            date->setCalendarPopup(true);
            date->setToolTip(QStringLiteral("Alt+Down or F4 opens the calendar"));
            control = date;
            break;
        }
        case FieldKind::Tick:
            control = new QCheckBox(parent);
            break;
    }
    control->setObjectName(MemberName(field, member));
    if (field.kind != FieldKind::Tick) PaintWhite(control);
    return control;
}

}  // namespace velmora::editor
