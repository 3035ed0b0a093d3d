#pragma once

#include "recipients/Recipient.h"

#include <QAbstractTableModel>
#include <vector>

namespace velmora {

// Phone book entries (or people found in the company directory, as entries not in the phone
// book) as a table, one row an entry, in the order given.
class RecipientTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Company, Fax, Phone, Groups, ColumnCount };

    explicit RecipientTable(QObject* parent = nullptr);

    void setEntries(std::vector<Recipient> entries);
    const std::vector<Recipient>& entries() const { return entries_; }
    // The entry of `row`; null outside the table.
    const Recipient* entry(int row) const;
    // The row of the phone book's entry `id`, or -1.
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<Recipient> entries_;
};

}  // namespace velmora
