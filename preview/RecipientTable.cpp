#include "RecipientTable.h"

namespace velmora {

RecipientTable::RecipientTable(QObject* parent) : QAbstractTableModel(parent) {}

void RecipientTable::setEntries(std::vector<Recipient> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

const Recipient* RecipientTable::entry(int row) const {
    return row >= 0 && row < int(entries_.size()) ? &entries_[size_t(row)] : nullptr;
}

int RecipientTable::rowOf(qint64 id) const {
    for (size_t row = 0; row < entries_.size(); ++row)
        if (entries_[row].id == id) return int(row);
    return -1;
}

int RecipientTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int RecipientTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecipientTable::data(const QModelIndex& index, int role) const {
    const Recipient* shown = entry(index.row());
    if (!shown || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    switch (index.column()) {
        case Name:
            return shown->name;
        case Company:
            return shown->company;
        case Fax:
            return shown->fax;
        case Phone:
            return shown->phone;
        case Groups:
            return shown->groups.join(QStringLiteral(", "));
        default:
            return {};
    }
}

QVariant RecipientTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Name:
            return tr("Name");
        case Company:
            return tr("Company");
        case Fax:
            return tr("Fax");
        case Phone:
            return tr("Phone");
        case Groups:
            return tr("Groups");
        default:
            return {};
    }
}

}  // namespace velmora
