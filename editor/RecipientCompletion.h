#pragma once

#include "fax/server/FaxOutbox.h"

#include <QObject>
#include <vector>

class QStandardItemModel;

namespace velmora {

class FieldGroup;

// Completion of the recipient's fields from the recipients faxed lately: typing in "For:" or
// "Fax number:" on any tab offers the names and numbers that start so, each with its number or
// name beside it, and choosing one fills both fields (every tab's, mirrored and stored as if
// typed).
class RecipientCompletion : public QObject {
    Q_OBJECT
public:
    RecipientCompletion(FieldGroup& name, FieldGroup& number, QObject* parent = nullptr);

    void setRecipients(const std::vector<RecentRecipient>& recipients);
    int count() const;

private:
    // Fills both fields with recipient `row`, in the tab's member `member`.
    void choose(int member, int row);

    FieldGroup& name_;
    FieldGroup& number_;
    QStandardItemModel* model_;
    std::vector<RecentRecipient> recipients_;
};

}  // namespace velmora
