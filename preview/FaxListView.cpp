#include "FaxListView.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace velmora {

QLabel* AddServerProblemLine(QWidget& client, QVBoxLayout& layout) {
    auto* problem = new QLabel(&client);
    problem->setObjectName(QStringLiteral("ServerProblem"));
    problem->setAccessibleName(QLabel::tr("Fax server problem"));
    problem->setWordWrap(true);
    problem->setTextFormat(Qt::PlainText);
    problem->setStyleSheet(QStringLiteral("color: #a01010;"));
    problem->hide();
    layout.addWidget(problem);
    return problem;
}

void SetUpFaxList(QTableView& view, const QString& accessibleName,
                  std::initializer_list<int> widths) {
    view.setObjectName(QStringLiteral("Faxes"));
    view.setAccessibleName(accessibleName);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setAlternatingRowColors(true);
    view.setWordWrap(false);
    view.verticalHeader()->hide();
    view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 8);
    view.horizontalHeader()->setHighlightSections(false);
    view.horizontalHeader()->setStretchLastSection(true);
    int column = 0;
    for (const int width : widths) view.setColumnWidth(column++, width);
}

}  // namespace velmora
