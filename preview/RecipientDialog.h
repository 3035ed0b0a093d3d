#pragma once

#include "recipients/Recipient.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace velmora {

// One phone book entry to add or change: name, company, fax, phone, e-mail, notes and its
// groups (comma-separated). What is wrong with the fax number for the region numbers are
// dialled from shows under it, as a warning: the entry is kept as typed all the same.
class RecipientDialog : public QDialog {
    Q_OBJECT
public:
    RecipientDialog(const QString& title, const Recipient& start, QWidget* parent = nullptr);

    // The entry as typed, with the id it was started with.
    Recipient entry() const;
    // What is wrong with the fax number; empty when nothing is.
    QString faxWarning() const;

private:
    void checkFax();

    qint64 id_ = 0;
    QLineEdit* name_;
    QLineEdit* company_;
    QLineEdit* fax_;
    QLabel* faxWarning_;
    QLineEdit* phone_;
    QLineEdit* email_;
    QPlainTextEdit* notes_;
    QLineEdit* groups_;
};

// Shows the dialog modally; the entry typed, or none when the user cancels.
std::optional<Recipient> RunRecipientDialog(QWidget* parent, const QString& title,
                                            const Recipient& start);

// Directory Settings…: where the company directory is (uri, where searches begin, the DN this
// program logs in as), saved as the settings (DirectorySettings::save). False when cancelled.
bool EditDirectorySettings(QWidget* parent);

}  // namespace velmora
