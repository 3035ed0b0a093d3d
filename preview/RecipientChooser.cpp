#include "RecipientChooser.h"

#include "RecipientTable.h"
#include "recipients/PhoneBook.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace velmora {

RecipientChooser::RecipientChooser(const PhoneBook& book, QWidget* parent)
    : QDialog(parent), book_(book) {
    setObjectName(QStringLiteral("RecipientChooser"));
    setWindowTitle(tr("Choose Recipients"));
    setAccessibleName(tr("Choose the recipients, a cover each"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("Search"));
    search_->setAccessibleName(tr("Search"));
    search_->setPlaceholderText(tr("Name, company or number"));
    search_->setClearButtonEnabled(true);
    auto* searchLabel = new QLabel(tr("&Search:"), this);
    searchLabel->setBuddy(search_);
    groups_ = new QComboBox(this);
    groups_->setObjectName(QStringLiteral("Group"));
    groups_->setAccessibleName(tr("Group"));
    groups_->addItem(tr("All entries"));
    try {
        groups_->addItems(book_.groups());
    } catch (const std::exception&) {
        // The phone book tells its own problem where it is shown; here it lists nothing.
    }
    auto* groupLabel = new QLabel(tr("&Group:"), this);
    groupLabel->setBuddy(groups_);
    top->addWidget(searchLabel);
    top->addWidget(search_, 1);
    top->addWidget(groupLabel);
    top->addWidget(groups_);
    layout->addLayout(top);

    table_ = new RecipientTable(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("Recipients"));
    view_->setAccessibleName(tr("Recipients to choose from"));
    view_->setModel(table_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setTabKeyNavigation(false);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->hideColumn(RecipientTable::Phone);
    layout->addWidget(view_, 1);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(tr("C&hoose"));
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(search_, &QLineEdit::textChanged, this, &RecipientChooser::refresh);
    connect(groups_, &QComboBox::currentIndexChanged, this, &RecipientChooser::refresh);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecipientChooser::updateActions);
    connect(view_, &QTableView::doubleClicked, this, &QDialog::accept);
    resize(560, 380);
    refresh();
    search_->setFocus();
}

// The entries of the search, or of the group chosen (all of them chosen then).
void RecipientChooser::refresh() {
    std::vector<Recipient> entries;
    const bool group = groups_->currentIndex() > 0;
    try {
        entries =
            group ? book_.inGroup(groups_->currentText()) : book_.search(search_->text(), 500);
    } catch (const std::exception&) {
    }
    if (group && !search_->text().trimmed().isEmpty()) {
        const QString wanted = SearchFolded(search_->text());
        std::erase_if(entries, [&](const Recipient& entry) {
            return !SearchFolded(entry.name + QLatin1Char(' ') + entry.company).contains(wanted);
        });
    }
    std::erase_if(entries, [](const Recipient& entry) { return entry.fax.trimmed().isEmpty(); });
    table_->setEntries(std::move(entries));
    if (group) view_->selectAll();
    updateActions();
}

void RecipientChooser::updateActions() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(view_->selectionModel()->hasSelection());
}

std::vector<Recipient> RecipientChooser::chosen() const {
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    std::vector<Recipient> entries;
    for (const QModelIndex& row : rows)
        if (const Recipient* entry = table_->entry(row.row())) entries.push_back(*entry);
    return entries;
}

}  // namespace velmora
