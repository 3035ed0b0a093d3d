#include "SendFaxDialog.h"

#include "RecipientChooser.h"
#include "fax/FaxPacket.h"

#include "fax/FaxSending.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/HylaFaxSession.h"
#include "recipients/PhoneBook.h"
#include "recipients/numbers/FaxNumbers.h"
#include "shell/Job.h"
#include "shell/SettingsStore.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {
namespace {

const QString kServerKey = QStringLiteral("FaxServer");
const QString kUserKey = QStringLiteral("FaxServerUser");

}  // namespace

FaxServerAddress LastFaxServer() {
    const QString server = GetSetting(kServerKey);
    if (const auto remembered = FaxServerAddress::parse(server, GetSetting(kUserKey)))
        return *remembered;
    return FaxServerAddress::fallback();
}

void RememberFaxServer(const FaxServerAddress& server) {
    SaveSetting(kServerKey, server.text());
    SaveSetting(kUserKey, server.user);
}

QString NumberToAskAbout(const PhoneBook& book, const std::vector<SentFax>& faxes,
                         const QString& name, const QString& number, const QString& region) {
    QStringList questions;
    if (!name.trimmed().isEmpty())
        if (const std::optional<Recipient> known = book.byName(name.trimmed());
            known && !known->fax.isEmpty() && !SameNumber(known->fax, number, region))
            questions << SendFaxDialog::tr("The phone book has %1 for %2, not %3.")
                             .arg(known->fax, known->name, number);
    const bool inBook = book.byNumber(number).has_value();
    const bool faxedBefore = std::any_of(faxes.begin(), faxes.end(), [&](const SentFax& fax) {
        return fax.id > 0 && SameNumber(fax.number, number, region);
    });
    if (!inBook && !faxedBefore)
        questions << SendFaxDialog::tr("%1 is in no phone book and was never faxed from here.")
                         .arg(number);
    return questions.join(QLatin1Char(' '));
}

bool AskFaxServerPassword(QWidget* parent, const FaxServerAddress& server, bool refused) {
    bool given = false;
    const QString label =
        refused ? SendFaxDialog::tr("The fax server %1 refused the password for %2. Password:")
                      .arg(server.text(), server.user)
                : SendFaxDialog::tr(
                      "The fax server %1 asks for the password of %2. It is kept "
                      "until Velmora ends, never written down.\n\nPassword:")
                      .arg(server.text(), server.user);
    const QString password = QInputDialog::getText(parent, SendFaxDialog::tr("Fax Server Password"),
                                                   label, QLineEdit::Password, {}, &given);
    if (!given) return false;
    FaxServerPasswords::remember(server, password);
    return true;
}

SendFaxDialog::SendFaxDialog(const FaxCall& proposed, int pages, const QString& recipient,
                             QWidget* parent)
    : QDialog(parent), sheetName_(recipient) {
    setObjectName(QStringLiteral("SendFaxDialog"));
    setWindowTitle(QStringLiteral("Send Fax"));

    number_ = new QLineEdit(proposed.number, this);
    number_->setObjectName(QStringLiteral("FaxNumber"));
    server_ = new QLineEdit(proposed.server.text(), this);
    server_->setObjectName(QStringLiteral("FaxServer"));
    server_->setPlaceholderText(tr("host or host:port"));
    server_->setToolTip(tr("The HylaFAX server, as host or host:port (port %1 unless named)")
                            .arg(FaxServerAddress::kDefaultPort));
    user_ = new QLineEdit(proposed.server.user, this);
    user_->setObjectName(QStringLiteral("FaxServerUser"));
    resolution_ = new QComboBox(this);
    resolution_->setObjectName(QStringLiteral("FaxResolution"));
    resolution_->addItem(QStringLiteral("Fine (204 \u00d7 196 dpi)"));
    resolution_->addItem(QStringLiteral("Standard (204 \u00d7 98 dpi)"));
    resolution_->setCurrentIndex(proposed.resolution == FaxResolution::Fine ? 0 : 1);

    now_ = new QRadioButton(tr("N&ow"), this);
    now_->setObjectName(QStringLiteral("SendNow"));
    later_ = new QRadioButton(tr("&At"), this);
    later_->setObjectName(QStringLiteral("SendLater"));
    sendAt_ = new QDateTimeEdit(this);
    sendAt_->setObjectName(QStringLiteral("SendAt"));
    sendAt_->setAccessibleName(tr("Send at"));
    sendAt_->setCalendarPopup(true);
    sendAt_->setDisplayFormat(QLocale().dateTimeFormat(QLocale::ShortFormat));
    const QDateTime proposedAt =
        proposed.sendAt.isValid()
            ? proposed.sendAt.toLocalTime()
            : QDateTime::currentDateTime().addSecs(3600 - QTime::currentTime().minute() * 60 -
                                                   QTime::currentTime().second());
    sendAt_->setDateTime(proposedAt);
    (proposed.sendAt.isValid() ? later_ : now_)->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(now_);
    group->addButton(later_);
    connect(later_, &QRadioButton::toggled, this, &SendFaxDialog::updateActions);
    auto* when = new QHBoxLayout;
    when->addWidget(now_);
    when->addWidget(later_);
    when->addWidget(sendAt_, 1);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("FaxProblem"));
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->setWordWrap(true);
    problem_->hide();
    dialled_ = new QLabel(this);
    dialled_->setObjectName(QStringLiteral("FaxDialled"));
    dialled_->setWordWrap(true);
    dialled_->setTextFormat(Qt::PlainText);
    connect(number_, &QLineEdit::textChanged, this, &SendFaxDialog::checkNumber);
    connection_ = new QLabel(this);
    connection_->setObjectName(QStringLiteral("FaxConnection"));
    connection_->setWordWrap(true);
    connection_->hide();

    number_->setToolTip(
        tr("Several numbers, separated by \";\" or on lines of their own, go "
           "each behind a cover of its own"));
    auto* choose = new QPushButton(tr("&Phone Book\u2026"), this);
    choose->setObjectName(QStringLiteral("ChooseRecipients"));
    choose->setAutoDefault(false);
    choose->setToolTip(tr("Choose recipients from the phone book, a cover each"));
    connect(choose, &QPushButton::clicked, this, &SendFaxDialog::choose);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(number_, 1);
    numberRow->addWidget(choose);

    auto* form = new QFormLayout;
    // The label names its field for the keys and for screen readers, the row being a layout.
    auto* numberLabel = new QLabel(QStringLiteral("Fax &number:"), this);
    numberLabel->setBuddy(number_);
    form->addRow(numberLabel, numberRow);
    form->addRow(QString(), dialled_);
    form->addRow(QStringLiteral("Ser&ver:"), server_);
    form->addRow(tr("&User:"), user_);
    form->addRow(QStringLiteral("&Resolution:"), resolution_);
    form->addRow(tr("Send:"), when);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    test_ = buttons->addButton(tr("&Test Connection"), QDialogButtonBox::ActionRole);
    test_->setObjectName(QStringLiteral("TestConnection"));
    test_->setAutoDefault(false);
    connect(test_, &QPushButton::clicked, this, &SendFaxDialog::testConnection);
    QPushButton* send = buttons->addButton(QStringLiteral("&Send"), QDialogButtonBox::AcceptRole);
    send->setObjectName(QStringLiteral("SendButton"));
    send->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SendFaxDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SendFaxDialog::reject);

    auto* layout = new QVBoxLayout(this);
    const QString pagesText =
        pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages);
    oneJob_ = recipient.isEmpty()
                  ? QStringLiteral(
                        "The packet, %1, goes to the fax server as one job, with this "
                        "cover sheet as its cover.")
                        .arg(pagesText)
                  : tr("The packet for %1, %2, goes to the fax server as one job, with this "
                       "cover sheet as its cover.")
                        .arg(recipient, pagesText);
    intro_ = new QLabel(oneJob_, this);
    intro_->setObjectName(QStringLiteral("FaxIntro"));
    intro_->setWordWrap(true);
    layout->addWidget(intro_);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(connection_);
    layout->addWidget(buttons);
    number_->setFocus();
    checkNumber();
    updateActions();
}

// The number as it will be dialled, in international form, and what libphonenumber finds
// wrong with it for the region: a warning, never a block.
void SendFaxDialog::checkNumber() {
    const QString typed = number_->text().trimmed();
    const std::vector<QString> numbers = SplitNumbers(typed);
    intro_->setText(numbers.size() > 1
                        ? tr("The packet goes to the fax server as a job for each recipient, "
                             "each with a cover sheet of its own: this one with the recipient's "
                             "name, fax number and phone.")
                        : oneJob_);
    if (numbers.size() > 1) {
        // Several: each a cover of its own; what libphonenumber finds wrong, number by number.
        QStringList names, warnings;
        for (const CoverRecipient& each : recipients()) {
            names << (each.name.isEmpty() ? each.number
                                          : tr("%1 (%2)").arg(each.name, each.number));
            if (const QString problem = FaxNumberProblem(each.number); !problem.isEmpty())
                warnings << problem;
            else if (const QString warning = CheckFaxNumber(each.number, FaxRegion()).warning;
                     !warning.isEmpty())
                warnings << tr("%1: %2").arg(each.number, warning);
        }
        QString text = tr("%1 recipients, a cover each: %2")
                           .arg(numbers.size())
                           .arg(names.join(QStringLiteral(", ")));
        if (!warnings.isEmpty())
            text += QStringLiteral(" \u2014 ") + warnings.join(QStringLiteral("; "));
        dialled_->setText(text);
        dialled_->setStyleSheet(warnings.isEmpty() ? QString() : QStringLiteral("color: #8a5a00"));
        dialled_->setAccessibleName(text);
        dialled_->show();
        return;
    }
    if (typed.isEmpty() || !FaxNumberProblem(typed).isEmpty()) {
        dialled_->clear();
        dialled_->hide();
        return;
    }
    const QString region = FaxRegion();
    const CheckedNumber checked = CheckFaxNumber(typed, region);
    QString text = checked.international.isEmpty()
                       ? tr("Dialled as %1").arg(checked.dialled)
                       : tr("Dialled as %1 (%2)").arg(checked.dialled, checked.international);
    if (!checked.warning.isEmpty()) text += QStringLiteral(" \u2014 ") + checked.warning;
    if (LooksLikeTwoNumbers(typed, region))
        text += QStringLiteral(" \u2014 ") +
                tr("this looks like two numbers: separate numbers with \";\"");
    dialled_->setText(text);
    dialled_->setStyleSheet(checked.warning.isEmpty() ? QString()
                                                      : QStringLiteral("color: #8a5a00"));
    dialled_->setAccessibleName(text);
    dialled_->show();
}

SendFaxDialog::~SendFaxDialog() {
    if (testJob_) testJob_->cancel();
}

void SendFaxDialog::updateActions() {
    sendAt_->setEnabled(later_->isChecked());
    test_->setEnabled(!testJob_);
}

std::optional<FaxServerAddress> SendFaxDialog::server() const {
    return FaxServerAddress::parse(server_->text(), user_->text());
}

FaxCall SendFaxDialog::call() const {
    FaxCall call;
    const QString typed = number_->text().trimmed();
    // Sent as dialled: digits, pauses and a leading "+", as the check above the buttons shows.
    const QString dialled = CheckFaxNumber(typed, FaxRegion()).dialled;
    call.number = dialled.isEmpty() ? typed : dialled;
    call.server = server().value_or(FaxServerAddress::fallback());
    call.resolution =
        resolution_->currentIndex() == 0 ? FaxResolution::Fine : FaxResolution::Standard;
    call.sendAt = later_->isChecked() ? sendAt_->dateTime().toUTC() : QDateTime();
    return call;
}

void SendFaxDialog::showProblem(const QString& problem, QWidget* field) {
    problem_->setText(problem);
    problem_->show();
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

void SendFaxDialog::accept() {
    std::vector<QString> numbers = SplitNumbers(number_->text());
    if (numbers.empty()) numbers.push_back(number_->text());
    for (const QString& number : numbers) {
        if (const QString problem = FaxNumberProblem(number); !problem.isEmpty())
            return showProblem(numbers.size() > 1 ? tr("%1: %2").arg(number, problem) : problem,
                               number_);
    }
    // Two numbers typed as one are never sent as one: asked about once.
    for (const QString& number : numbers) {
        if (twoNumbersAsked_ || !LooksLikeTwoNumbers(number, FaxRegion())) continue;
        twoNumbersAsked_ = true;
        return showProblem(
            tr("\"%1\" looks like two fax numbers. A comma waits a moment while dialling; it "
               "does not separate numbers: separate them with \";\", and each gets a cover of "
               "its own. Or press Send again to dial it as it is.")
                .arg(number.trimmed()),
            number_);
    }
    if (!server())
        return showProblem(
            tr("\"%1\" is not a fax server: give a host name or address, and \":port\" where "
               "the server does not listen on %2.")
                .arg(server_->text().trimmed())
                .arg(FaxServerAddress::kDefaultPort),
            server_);
    if (later_->isChecked() && sendAt_->dateTime() <= QDateTime::currentDateTime())
        return showProblem(tr("The time to send is past: choose a later one, or Now."), sendAt_);
    QDialog::accept();
}

std::vector<CoverRecipient> SendFaxDialog::recipients() const {
    const std::vector<QString> numbers = SplitNumbers(number_->text());
    if (numbers.size() < 2) return {};
    std::optional<PhoneBook> book;
    try {
        book.emplace();
    } catch (const std::exception&) {
        // No phone book: the names chosen, else the sheet's.
    }
    std::vector<CoverRecipient> each;
    for (const QString& number : numbers) {
        CoverRecipient recipient{
            sheetName_, number, {}, CheckFaxNumber(number, FaxRegion()).dialled};
        const auto chosen = std::find_if(chosen_.begin(), chosen_.end(), [&](const Recipient& r) {
            return NumberDigits(r.fax) == NumberDigits(number);
        });
        std::optional<Recipient> known;
        if (chosen != chosen_.end())
            known = *chosen;
        else if (book)
            try {
                known = book->byNumber(number);
            } catch (const std::exception&) {
            }
        if (known) {
            recipient.name = known->name;
            recipient.phone = known->phone;
        }
        each.push_back(std::move(recipient));
    }
    return each;
}

void SendFaxDialog::choose() {
    try {
        const PhoneBook book;
        RecipientChooser chooser(book, this);
        if (chooser.exec() != QDialog::Accepted) return;
        QStringList numbers;
        for (const Recipient& entry : chooser.chosen()) {
            numbers << entry.fax.trimmed();
            chosen_.push_back(entry);
        }
        number_->setText(numbers.join(QStringLiteral("; ")));
        number_->setFocus();
    } catch (const std::exception& failure) {
        showProblem(QString::fromUtf8(failure.what()), number_);
    }
}

void SendFaxDialog::reject() {
    if (testJob_) testJob_->cancel();
    QDialog::reject();
}

// Logs in and lists this user's jobs: the server can take a fax from here. Runs on the fax
// server's worker; the dialog stays usable, and closing it gives the test up.
void SendFaxDialog::testConnection() {
    const std::optional<FaxServerAddress> address = server();
    if (!address) return accept();  // tells what is wrong with the server
    problem_->hide();
    connection_->setText(tr("Connecting to %1\u2026").arg(address->text()));
    connection_->show();
    auto queued = std::make_shared<int>(0);
    testJob_ = FaxOutbox::shared().worker().post(
        this,
        [address = *address, queued] {
            HylaFaxSession session(address);
            const std::vector<ServerJob> jobs = session.jobs();
            *queued = int(std::count_if(jobs.begin(), jobs.end(),
                                        [](const ServerJob& job) { return !job.done; }));
        },
        [this, address = *address, queued](std::exception_ptr failure) {
            testJob_.clear();
            updateActions();
            if (!failure) {
                connection_->setText(
                    tr("Connected to %1 as %2: it takes faxes (%n of yours queued there).", "",
                       *queued)
                        .arg(address.text(), address.user));
                return;
            }
            try {
                std::rethrow_exception(failure);
            } catch (const FaxServerPasswordNeeded& needed) {
                connection_->setText(QString::fromStdString(needed.what()));
                if (AskFaxServerPassword(this, needed.address(), needed.refused()))
                    testConnection();
            } catch (const JobGivenUp&) {
                connection_->hide();
            } catch (const std::exception& error) {
                connection_->setText(QString::fromStdString(error.what()));
            }
        });
    updateActions();
}

}  // namespace velmora
