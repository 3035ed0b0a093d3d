#include "OutboxTable.h"

#include "fax/server/FaxOutbox.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QLocale>
#include <QSet>
#include <QStyle>
#include <algorithm>

namespace velmora {
namespace {

QString ShortDateTime(const QDateTime& at) {
    if (!at.isValid()) return {};
    return QLocale().toString(at.toLocalTime(), QLocale::ShortFormat);
}

}  // namespace

OutboxTable::OutboxTable(QObject* parent) : QAbstractTableModel(parent) {}

QString OutboxTable::key(const SentFax& fax) {
    if (fax.id > 0) return QString::number(fax.id);
    return fax.server + QLatin1Char('#') + fax.jobId;
}

bool OutboxTable::failed(const SentFax& fax) {
    return fax.state == FaxJobState::Failed;
}

const SentFax* OutboxTable::fax(int row) const {
    if (row < 0 || row >= int(faxes_.size())) return nullptr;
    return &faxes_[size_t(row)];
}

int OutboxTable::findRow(const QString& wanted, int from) const {
    for (int row = from; row < int(faxes_.size()); ++row)
        if (key(faxes_[size_t(row)]) == wanted) return row;
    return -1;
}

void OutboxTable::setFaxes(const std::vector<SentFax>& next) {
    // Where each fax stood in its group, to tell the rows whose place changed at the end.
    QHash<QString, QString> groupsBefore;
    for (const SentFax& fax : faxes_) groupsBefore.insert(key(fax), text(fax, Group));
    QSet<QString> wanted;
    for (const SentFax& fax : next) wanted.insert(key(fax));

    // The rows whose fax is gone, a run of neighbours at a time, from the bottom up.
    for (int row = int(faxes_.size()) - 1; row >= 0; --row) {
        if (wanted.contains(key(faxes_[size_t(row)]))) continue;
        const int last = row;
        while (row > 0 && !wanted.contains(key(faxes_[size_t(row - 1)]))) --row;
        beginRemoveRows({}, row, last);
        faxes_.erase(faxes_.begin() + row, faxes_.begin() + last + 1);
        endRemoveRows();
    }

    // Then each row of the new list in its place: kept and told where it changed, moved up from
    // further down, or new.
    for (int row = 0; row < int(next.size()); ++row) {
        const SentFax& fax = next[size_t(row)];
        if (row >= int(faxes_.size()) || key(faxes_[size_t(row)]) != key(fax)) {
            if (const int at = findRow(key(fax), row + 1); at >= 0) {
                beginMoveRows({}, at, at, {}, row);
                SentFax moved = std::move(faxes_[size_t(at)]);
                faxes_.erase(faxes_.begin() + at);
                faxes_.insert(faxes_.begin() + row, std::move(moved));
                endMoveRows();
            } else {
                beginInsertRows({}, row, row);
                faxes_.insert(faxes_.begin() + row, fax);
                endInsertRows();
                continue;
            }
        }
        SentFax& shown = faxes_[size_t(row)];
        int first = ColumnCount, last = -1;
        const bool marked = failed(shown) != failed(fax);
        for (int column = 0; column < Group; ++column)
            if (marked || text(shown, column) != text(fax, column)) {
                first = std::min(first, column);
                last = column;
            }
        shown = fax;
        if (last >= 0) emit dataChanged(index(row, first), index(row, last));
    }

    // What is left below the new list (a key the old list held twice).
    if (faxes_.size() > next.size()) {
        beginRemoveRows({}, int(next.size()), int(faxes_.size()) - 1);
        faxes_.resize(next.size());
        endRemoveRows();
    }
    // A fax of a group that came or went changes the others' place in it.
    for (int row = 0; row < int(faxes_.size()); ++row) {
        const SentFax& fax = faxes_[size_t(row)];
        const auto before = groupsBefore.constFind(key(fax));
        if (before != groupsBefore.constEnd() && *before != text(fax, Group))
            emit dataChanged(index(row, Group), index(row, Group));
    }
}

int OutboxTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(faxes_.size());
}

int OutboxTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString OutboxTable::text(const SentFax& fax, int column) const {
    switch (column) {
        case Recipient:
            return fax.recipient.isEmpty() ? fax.number : fax.recipient;
        case Number:
            return fax.number;
        case State:
            return FaxStateWords(fax);
        case Pages:
            if (fax.pagesTotal > 0) return tr("%1 of %2").arg(fax.pagesSent).arg(fax.pagesTotal);
            return fax.pagesSent > 0 ? QString::number(fax.pagesSent) : QString();
        case Tries:
            return fax.tries > 0 ? QString::number(fax.tries) : QString();
        case HandedOver:
            return ShortDateTime(fax.submitted);
        case Finished:
            return ShortDateTime(fax.finished);
        case Group: {
            const std::vector<const SentFax*> group = groupOf(fax);
            for (size_t n = 0; n < group.size(); ++n)
                if (key(*group[n]) == key(fax)) return tr("%1 of %2").arg(n + 1).arg(group.size());
            return {};
        }
    }
    return {};
}

std::vector<const SentFax*> OutboxTable::groupOf(const SentFax& fax) const {
    std::vector<const SentFax*> group;
    if (fax.groupId.isEmpty()) return group;
    for (const SentFax& other : faxes_)
        if (other.groupId == fax.groupId && other.server == fax.server) group.push_back(&other);
    if (group.size() < 2) return {};
    std::stable_sort(group.begin(), group.end(), [](const SentFax* a, const SentFax* b) {
        return a->jobId.toLongLong() < b->jobId.toLongLong();
    });
    return group;
}

QVariant OutboxTable::data(const QModelIndex& index, int role) const {
    const SentFax* shown = index.isValid() ? fax(index.row()) : nullptr;
    if (!shown) return {};
    switch (role) {
        case Qt::DisplayRole:
            return text(*shown, index.column());
        case Qt::ToolTipRole:
            // The whole of what a narrow column may cut off.
            if (index.column() == Recipient && !shown->company.isEmpty())
                return tr("%1, %2").arg(text(*shown, Recipient), shown->company);
            if (index.column() == Group) {
                // The group at a glance: each fax sent with this one, and where it stands.
                QStringList members;
                for (const SentFax* member : groupOf(*shown))
                    members << tr("%1: %2").arg(text(*member, Recipient), FaxStateWords(*member));
                return members.join(QLatin1Char('\n'));
            }
            return text(*shown, index.column());
        case Qt::ForegroundRole:
            if (failed(*shown)) return QBrush(QColor(0xa0, 0x10, 0x10));
            break;
        case Qt::DecorationRole:
            if (failed(*shown) && index.column() == State)
                return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            break;
        default:
            break;
    }
    return {};
}

QVariant OutboxTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Recipient:
            return tr("Recipient");
        case Number:
            return tr("Number");
        case State:
            return tr("State");
        case Pages:
            return tr("Pages");
        case Tries:
            return tr("Tries");
        case HandedOver:
            return tr("Handed over");
        case Finished:
            return tr("Finished");
        case Group:
            return tr("Sent together");
    }
    return {};
}

}  // namespace velmora
