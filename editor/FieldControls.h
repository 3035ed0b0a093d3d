#pragma once

#include "coversheet/CoverSheet.h"

#include <QString>

class QWidget;

namespace velmora::editor {

// The object name of a field's control on one tab: the field's name, with "_<member>" for a
// field that has a control on several tabs.
QString MemberName(const coversheet::CoverSheetField& field, int member);

// Makes the control of a field's member, of the field's kind, named and coloured as the
// editor's controls are.
QWidget* CreateMember(const coversheet::CoverSheetField& field, int member, QWidget* parent);

}  // namespace velmora::editor
