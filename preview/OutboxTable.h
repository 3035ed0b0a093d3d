#pragma once

#include "fax/server/SentFax.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace velmora {

// The outbox's faxes as a table, one row a fax, in the order the outbox gives them (newest
// first). setFaxes() brings the rows up to date in place: a row keeps its place in the view's
// eyes (its selection, the current row) while its fax changes, and only the rows that were added,
// removed or changed are told; the model is never reset.
class OutboxTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Recipient,
        Number,
        State,
        Pages,
        Tries,
        HandedOver,
        Finished,
        Group,
        ColumnCount
    };

    explicit OutboxTable(QObject* parent = nullptr);

    void setFaxes(const std::vector<SentFax>& faxes);
    const std::vector<SentFax>& faxes() const { return faxes_; }
    // The fax of `row`; null outside the table.
    const SentFax* fax(int row) const;

    // What tells one fax from another across refreshes: its record's id, or for a fax the
    // record does not hold, its server and the server's job id.
    static QString key(const SentFax& fax);
    // Whether the fax is shown as failed (marked beside its words).
    static bool failed(const SentFax& fax);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // The row's text in `column`.
    QString text(const SentFax& fax, int column) const;
    // The faxes sent together with `fax` (its server's group, more than one), in the order
    // handed over; empty for a fax sent alone.
    std::vector<const SentFax*> groupOf(const SentFax& fax) const;
    int findRow(const QString& key, int from) const;

    std::vector<SentFax> faxes_;
};

}  // namespace velmora
