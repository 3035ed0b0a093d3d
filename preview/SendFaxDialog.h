#pragma once

#include "recipients/Recipient.h"

#include "fax/server/SendJob.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmora {

class Job;
class PhoneBook;
struct CoverRecipient;

// "Send Fax…": the number (the sheet's recipient fax number to start with), the server
// (host[:port]) and the user there, the resolution, and when: now, or at a date and time the
// server waits for. Its default button sends; a number or server that is none is told in the
// dialog, which stays open. "Test Connection" logs in to the server on the fax server's worker
// and tells what it found, without sending anything.
class SendFaxDialog : public QDialog {
    Q_OBJECT
public:
    SendFaxDialog(const FaxCall& proposed, int pages, const QString& recipient, QWidget* parent);
    ~SendFaxDialog() override;

    FaxCall call() const;
    // The recipients when several numbers were typed (separated by ";" or a new line) or chosen
    // from the phone book, each to get a cover of their own: the name chosen, else the phone
    // book's for the number, else the sheet's; empty for one number.
    std::vector<CoverRecipient> recipients() const;

    void accept() override;
    void reject() override;

private:
    // What the number typed will be dialled as, in the dialog under it.
    void checkNumber();
    // The server and user as typed; empty (and the problem shown) when they name no server.
    std::optional<FaxServerAddress> server() const;
    void testConnection();
    // Several recipients chosen from the phone book (RecipientChooser) into the number field.
    void choose();
    void showProblem(const QString& problem, QWidget* field);
    void updateActions();

    QLineEdit* number_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLineEdit* user_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QRadioButton* now_ = nullptr;
    QRadioButton* later_ = nullptr;
    QDateTimeEdit* sendAt_ = nullptr;
    QLabel* problem_ = nullptr;
    QLabel* connection_ = nullptr;
    QLabel* dialled_ = nullptr;
    QLabel* intro_ = nullptr;
    QString oneJob_;  // what the introduction says for one number
    bool twoNumbersAsked_ = false;
    QString sheetName_;              // the name on the sheet's cover
    std::vector<Recipient> chosen_;  // from the phone book, for their names
    QPushButton* test_ = nullptr;
    QPointer<Job> testJob_;
};

// Asks the user for the password of `server` (told when the one given was refused), and keeps
// it for the program's run (FaxServerPasswords). False when the user cancels.
bool AskFaxServerPassword(QWidget* parent, const FaxServerAddress& server, bool refused);

// What to ask before a fax is dialled to `number` for `name`, in plain words; empty when there
// is nothing to ask: the number is in the phone book or was faxed from here before (`faxes`,
// the outbox's), and where the phone book has `name` its number is this one (compared as
// libphonenumber matches numbers dialled from `region`).
QString NumberToAskAbout(const PhoneBook& book, const std::vector<SentFax>& faxes,
                         const QString& name, const QString& number, const QString& region);

// The server last used, as remembered in the settings ("FaxServer", "FaxServerUser"), else
// FaxServerAddress::fallback(); and remembering it.
FaxServerAddress LastFaxServer();
void RememberFaxServer(const FaxServerAddress& server);

}  // namespace velmora
