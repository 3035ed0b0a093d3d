#include "RecipientCompletion.h"

#include "FieldGroup.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QCompleter>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>

#include <algorithm>

namespace velmora {

RecipientCompletion::RecipientCompletion(FieldGroup& name, FieldGroup& number, QObject* parent)
    : QObject(parent), name_(name), number_(number), model_(new QStandardItemModel(0, 2, this)) {
    // Column 0 the name, column 1 the number: each field completes on its own column and its
    // list shows both.
    const auto attach = [this](FieldGroup& group, int column) {
        for (int member = 0; member < group.memberCount(); ++member) {
            auto* edit = qobject_cast<QLineEdit*>(group.member(member));
            if (!edit) continue;
            auto* completer = new QCompleter(model_, edit);
            completer->setCompletionColumn(column);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            completer->setFilterMode(Qt::MatchStartsWith);
            auto* list = new QTreeView;
            list->setHeaderHidden(true);
            list->setRootIsDecorated(false);
            list->setUniformRowHeights(true);
            list->setAccessibleName(tr("Recent recipients"));
            completer->setPopup(list);
            list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
            edit->setCompleter(completer);
            connect(completer, qOverload<const QModelIndex&>(&QCompleter::activated), this,
                    [this, member, completer](const QModelIndex& index) {
                        // The popup's index is of the completer's own filtered model.
                        const QModelIndex source =
                            static_cast<QAbstractProxyModel*>(completer->completionModel())
                                ->mapToSource(index);
                        choose(member, source.row());
                    });
        }
    };
    attach(name_, 0);
    attach(number_, 1);
}

void RecipientCompletion::setRecipients(const std::vector<RecentRecipient>& recipients) {
    if (recipients.size() == recipients_.size() &&
        std::equal(recipients.begin(), recipients.end(), recipients_.begin(),
                   [](const RecentRecipient& a, const RecentRecipient& b) {
                       return a.name == b.name && a.number == b.number;
                   }))
        return;  // the list open in a popup stays as it is
    recipients_ = recipients;
    model_->setRowCount(0);
    for (const RecentRecipient& recipient : recipients_)
        model_->appendRow({new QStandardItem(recipient.name), new QStandardItem(recipient.number)});
}

int RecipientCompletion::count() const {
    return int(recipients_.size());
}

void RecipientCompletion::choose(int member, int row) {
    if (row < 0 || row >= int(recipients_.size())) return;
    const RecentRecipient chosen = recipients_[size_t(row)];
    // Both fields, in the member chosen from, each passed on as typed.
    name_.setValue(std::min(member, name_.memberCount() - 1), chosen.name);
    number_.setValue(std::min(member, number_.memberCount() - 1), chosen.number);
}

}  // namespace velmora
