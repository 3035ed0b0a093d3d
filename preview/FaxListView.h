#pragma once

#include <QString>
#include <initializer_list>

class QLabel;
class QTableView;
class QVBoxLayout;
class QWidget;

namespace velmora {

// What the fax server lists have alike (the outbox, the faxes received): a line above the list
// that says a server problem in red, hidden until there is one; and the list itself, a row a
// fax, chosen one at a time, not edited, with the columns `widths` wide (the last takes the
// rest).
QLabel* AddServerProblemLine(QWidget& client, QVBoxLayout& layout);
void SetUpFaxList(QTableView& view, const QString& accessibleName,
                  std::initializer_list<int> widths);

}  // namespace velmora
