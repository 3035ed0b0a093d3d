#pragma once

#include "recipients/Recipient.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QTableView;

namespace velmora {

class PhoneBook;
class RecipientTable;

// Chooses the recipients a packet goes to, each behind a cover of their own, from the phone
// book: search as you type, or a group (its members listed and all chosen at once); rows chosen
// with the mouse or with Shift, Ctrl and the arrows. Entries without a fax number are not
// listed.
class RecipientChooser : public QDialog {
    Q_OBJECT
public:
    RecipientChooser(const PhoneBook& book, QWidget* parent);

    // The entries chosen, in the table's order.
    std::vector<Recipient> chosen() const;

private:
    void refresh();
    void updateActions();

    const PhoneBook& book_;
    QLineEdit* search_ = nullptr;
    QComboBox* groups_ = nullptr;
    QTableView* view_ = nullptr;
    RecipientTable* table_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace velmora
