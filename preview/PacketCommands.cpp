#include "PacketCommands.h"

#include "AttachedDocuments.h"
#include "PrintJob.h"
#include "RecipientChooser.h"
#include "SendFaxDialog.h"
#include "fax/FaxPacket.h"
#include "fax/SaveJob.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/SendJob.h"
#include "fax/server/SentFaxes.h"
#include "recipients/PhoneBook.h"
#include "recipients/numbers/FaxNumbers.h"
#include "shell/AppTitle.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/ui/MessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QPrinter>
#include <QProgressDialog>
#include <algorithm>
#include <memory>

namespace velmora {
namespace {

// How long the status bar tells what a command did.
constexpr int kStatusMessageTime = 30'000;

}  // namespace

QString RunFolderDialog(QWidget* parent) {
    return QFileDialog::getExistingDirectory(
        parent, PacketCommands::tr("Save a PDF for Each Recipient in"), QDir::homePath());
}

PacketCommands::PacketCommands(FaxPacket& packet, QWidget& window)
    : packet_(packet), window_(window) {}

void PacketCommands::startJob(Job* job) {
    job_ = job;
    emit busyChanged(true);
}

bool PacketCommands::jobCancelled() const {
    return job_ && job_->cancelled();
}

bool PacketCommands::workingFilesThere() {
    if (!packet_.workingFilesGone()) return true;
    ShowMessage({.title = {},
                 .text = tr("The cover sheet's working files were removed from the temporary "
                            "folder while it was shown, so it cannot be saved, printed or sent "
                            "as it is.\n\nGo \"< Back\" and press \"Start Creating Template\" "
                            "to make the cover sheet again; the documents attached stay."),
                 .icon = MessageIcon::Warning});
    return false;
}

void PacketCommands::stop() {
    if (job_) job_->cancel();
}

// "Save Results To Word File": the save dialog's questions (SaveCommand), then the save as a
// job (fax/SaveJob). The old file is replaced only by a complete new one; the window keeps
// painting meanwhile, and Stop gives the save up.
void PacketCommands::save(DocumentFormat filter, FaxResolution resolution) {
    const std::optional<SaveOrder> order = save_.ask(&window_, packet_, filter, resolution);
    if (!order || !workingFilesThere()) return;
    startJob(SavePacket(packet_, *order, this, [this, order = *order](std::exception_ptr failure) {
        saved(order, failure);
    }));
}

void PacketCommands::saved(const SaveOrder& order, std::exception_ptr failure) {
    emit busyChanged(false);
    if (jobCancelled()) {
        emit status(tr("Saving stopped: %1 was not written.").arg(order.target),
                    kStatusMessageTime);
        return;
    }
    Procedure done(location::Form2_PushButton6_Click);
    if (!done.step(130, [&] {
            if (failure) std::rethrow_exception(failure);
        }))
        return;
    save_.savedIn(order.target);
    const bool whole = SaveHoldsPacket(order.format, packet_);
    if (order.format == DocumentFormat::FaxTiff)
        emit status(QStringLiteral("Saved the packet, %1, as a fax TIFF (%2): %3")
                        .arg(PagesText(packet_.pageTotal()),
                             order.resolution == FaxResolution::Fine ? QStringLiteral("fine")
                                                                     : QStringLiteral("standard"),
                             order.target),
                    kStatusMessageTime);
    else if (whole)
        emit status(QStringLiteral("Saved the packet, %1, as %2")
                        .arg(PagesText(packet_.pageTotal()), order.target),
                    kStatusMessageTime);
    else if (order.format != DocumentFormat::Pdf && packet_.count() > 0)
        emit status(QStringLiteral("The Word file holds the cover sheet alone; save as PDF for the "
                                   "whole packet of %1.")
                        .arg(PagesText(packet_.pageTotal())),
                    kStatusMessageTime);
    done.step(132, [&] { ShowMessage({.title = {}, .text = QStringLiteral("Done.")}); });
}

// Print: the desktop's print dialog, then every chosen page of the packet as the office lays
// it out (PrintJob). Cancelling the dialog prints nothing. The pages are drawn for the printer
// on the worker, with their progress in a box whose Cancel gives the job up.
void PacketCommands::print() {
    if (!workingFilesThere()) return;
    Procedure proc(location::Form2_PrintDocument);
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    proc.step(100, [&] { printer->setDocName(QLatin1String(kProductName)); });
    if (!proc.test(
            102, [&] { return printDialog_(&window_, *printer); }, false))
        return;
    auto* progress = new QProgressDialog(QStringLiteral("Preparing the pages\u2026"),
                                         QStringLiteral("Cancel"), 0, 0, &window_);
    progress->setObjectName(QStringLiteral("PrintProgress"));
    progress->setWindowTitle(QStringLiteral("Print"));
    // Not modal: a modal progress box runs the event loop inside setValue(), where the job's end
    // could delete the box under the call that shows its progress. The window's commands that
    // would race the print are off while it runs (busyChanged), its Cancel and Stop give it up.
    progress->setWindowModality(Qt::NonModal);
    progress->setMinimumDuration(500);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    Job* job = PrintPacket(packet_, printer, this, [this, progress](std::exception_ptr failure) {
        delete progress;  // at once, with the job it showed
        emit busyChanged(false);
        if (jobCancelled()) {
            emit status(QStringLiteral("Printing cancelled"), kStatusMessageTime);
            return;
        }
        Procedure done(location::Form2_PrintDocument);
        done.step(104, [&] {
            if (failure) std::rethrow_exception(failure);
        });
    });
    connect(progress, &QProgressDialog::canceled, job, &Job::cancel);
    connect(job, &Job::progress, progress, [progress](int printed, int sheets) {
        progress->setMaximum(sheets);
        progress->setValue(std::min(printed, sheets));
        progress->setLabelText(QStringLiteral("Printing page %1 of %2\u2026")
                                   .arg(std::min(printed + 1, sheets))
                                   .arg(sheets));
    });
    startJob(job);
}

// Send Fax: the packet as a fax TIFF, handed to a HylaFAX server as one job over its client
// protocol (fax/server/SendJob), recorded for the outbox. The server's job id, or its own words
// when it cannot be reached or refuses; nothing is lost either way, and the command can be given
// again. A packet already sent to the number, and not failed, is asked about first.
void PacketCommands::send(FaxResolution resolution) {
    if (!workingFilesThere()) return;
    FaxCall proposed;
    proposed.number = packet_.recipientNumber();
    proposed.server = LastFaxServer();
    proposed.resolution = resolution;
    SendFaxDialog dialog(proposed, packet_.pageTotal(), packet_.recipientName(), &window_);
    if (dialog.exec() != QDialog::Accepted) return;
    const FaxCall call = dialog.call();
    RememberFaxServer(call.server);
    if (const std::vector<CoverRecipient> recipients = dialog.recipients(); !recipients.empty()) {
        if (numbersAgreed(recipients)) startSendToEach(call, recipients);
        return;
    }
    if (!numberAgreed(call) || !sendingAgainAgreed(call)) return;
    startSend(call);
}

// Several numbers: those known nowhere (or not the phone book's for their name) asked about
// together, once.
bool PacketCommands::numbersAgreed(const std::vector<CoverRecipient>& recipients) {
    QStringList questions;
    try {
        const PhoneBook book;
        const std::vector<SentFax> faxes = FaxOutbox::shared().faxes();
        for (const CoverRecipient& recipient : recipients)
            if (const QString question =
                    NumberToAskAbout(book, faxes, recipient.name, recipient.number, FaxRegion());
                !question.isEmpty())
                questions << question;
    } catch (const Failure&) {
        return true;  // the phone book cannot tell: the faxes go as asked
    }
    if (questions.isEmpty()) return true;
    return ShowMessage({.title = {},
                        .text = questions.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                tr("Send to all %1 numbers?").arg(recipients.size()),
                        .icon = MessageIcon::Warning,
                        .buttons = MessageButtons::YesNo}) == MessageAnswer::Yes;
}

void PacketCommands::showProgress(Job* job) {
    connect(job, &Job::progress, this, [this](int, int, const QString& text) {
        if (!text.isEmpty()) emit status(text + QStringLiteral("\u2026"), 0);
    });
}

// A cover each, made by the office one after another, each fax handed to the server as it is
// ready; Stop gives up those not handed over yet.
void PacketCommands::startSendToEach(const FaxCall& call,
                                     const std::vector<CoverRecipient>& recipients) {
    emit status(tr("Making a cover for each of %1 recipients\u2026").arg(recipients.size()), 0);
    Job* job = SendPacketToEach(
        packet_, recipients, call, FaxOutbox::shared().record(), this,
        [this, call, recipients, total = int(recipients.size())](std::exception_ptr failure,
                                                                 const std::vector<SentFax>& faxes,
                                                                 const QString& recordProblem) {
            emit busyChanged(false);
            FaxOutbox::shared().refresh();
            QStringList jobs;
            for (const SentFax& fax : faxes)
                jobs << tr("%1 (%2): job %3").arg(fax.recipient, fax.number, fax.jobId);
            QString text = tr("%1 of %2 faxes are with the fax server %3.")
                               .arg(faxes.size())
                               .arg(total)
                               .arg(call.server.text());
            if (!jobs.isEmpty()) text += QStringLiteral("\n\n") + jobs.join(QLatin1Char('\n'));
            if (jobCancelled()) {
                emit status(tr("Sending stopped: %1 of %2 faxes were handed over.")
                                .arg(faxes.size())
                                .arg(total),
                            kStatusMessageTime);
                return;
            }
            emit status(tr("%1 of %2 faxes are with the fax server %3.")
                            .arg(faxes.size())
                            .arg(total)
                            .arg(call.server.text()),
                        kStatusMessageTime);
            if (failure) {
                try {
                    std::rethrow_exception(failure);
                } catch (const FaxServerPasswordNeeded& needed) {
                    if (faxes.empty() &&
                        AskFaxServerPassword(&window_, needed.address(), needed.refused()))
                        return startSendToEach(call, recipients);
                } catch (...) {
                }
                text += QStringLiteral("\n\n") + DescribeFailure(failure);
            } else {
                text += QStringLiteral("\n\n") +
                        tr("File > Outbox shows them as one group; you are told when each is "
                           "sent.");
            }
            if (!recordProblem.isEmpty())
                text += QStringLiteral("\n\n") +
                        tr("They could not all be kept in the list of faxes sent: %1")
                            .arg(recordProblem);
            ShowMessage({.title = {},
                         .text = text,
                         .icon = failure ? MessageIcon::Warning : MessageIcon::None});
        });
    showProgress(job);
    startJob(job);
}

// Save for Each Recipient: the recipients from the phone book, a folder, then a PDF each.
void PacketCommands::saveForEach() {
    if (!workingFilesThere()) return;
    std::vector<CoverRecipient> recipients;
    try {
        const PhoneBook book;
        RecipientChooser chooser(book, &window_);
        if (chooser.exec() != QDialog::Accepted) return;
        for (const Recipient& entry : chooser.chosen())
            recipients.push_back({entry.name, entry.fax, entry.phone, {}});
    } catch (const Failure& failure) {
        ShowMessage(
            {.title = {}, .text = QString::fromUtf8(failure.what()), .icon = MessageIcon::Warning});
        return;
    }
    if (recipients.empty()) return;
    const QString folder = folderDialog_(&window_);
    if (folder.isEmpty()) return;
    emit status(tr("Making a cover for each of %1 recipients\u2026").arg(recipients.size()), 0);
    Job* job = SavePacketForEach(
        packet_, recipients, folder, this,
        [this, folder, total = int(recipients.size())](std::exception_ptr failure,
                                                       const QStringList& written) {
            emit busyChanged(false);
            if (jobCancelled()) {
                emit status(tr("Saving stopped: %1 of %2 PDFs were saved in %3.")
                                .arg(written.size())
                                .arg(total)
                                .arg(folder),
                            kStatusMessageTime);
                return;
            }
            emit status(tr("%1 of %2 PDFs saved in %3").arg(written.size()).arg(total).arg(folder),
                        kStatusMessageTime);
            if (failure)
                ShowMessage(
                    {.title = {}, .text = DescribeFailure(failure), .icon = MessageIcon::Warning});
        });
    showProgress(job);
    startJob(job);
}

// A number the user has never faxed and keeps in no phone book, or one other than the phone
// book's for the name on the cover: asked once before it is dialled (a misdialled fax is the
// commonest way records reach the wrong person).
bool PacketCommands::numberAgreed(const FaxCall& call) {
    QString question;
    try {
        const PhoneBook book;
        question = NumberToAskAbout(book, FaxOutbox::shared().faxes(), packet_.recipientName(),
                                    call.number, FaxRegion());
    } catch (const Failure&) {
        return true;  // the phone book cannot tell: the fax goes as asked
    }
    if (question.isEmpty()) return true;
    return ShowMessage({.title = {},
                        .text = question + QStringLiteral("\n\n") + tr("Dial %1?").arg(call.number),
                        .icon = MessageIcon::Warning,
                        .buttons = MessageButtons::YesNo}) == MessageAnswer::Yes;
}

bool PacketCommands::sendingAgainAgreed(const FaxCall& call) {
    std::vector<SentFax> earlier;
    try {
        earlier = FaxOutbox::shared().record().sameFax(PacketKey(packet_), call.number);
    } catch (const Failure&) {
        return true;  // the record cannot tell: the fax goes as asked
    }
    if (earlier.empty()) return true;
    const SentFax& last = earlier.front();
    return ShowMessage({.title = {},
                        .text = tr("This packet went to %1 before: job %2 on %3, handed over %4, "
                                   "now \"%5\".\n\n"
                                   "Send it again?")
                                    .arg(last.number, last.jobId, last.server,
                                         QLocale().toString(last.submitted.toLocalTime(),
                                                            QLocale::ShortFormat),
                                         FaxStateWords(last)),
                        .icon = MessageIcon::Warning,
                        .buttons = MessageButtons::YesNo}) == MessageAnswer::Yes;
}

void PacketCommands::startSend(const FaxCall& call) {
    emit status(QStringLiteral("Sending the fax to %1\u2026").arg(call.number), 0);
    startJob(SendPacket(
        packet_, call, FaxOutbox::shared().record(), this,
        [this, call](std::exception_ptr failure, const SentFax& fax, const QString& recordProblem) {
            sent(call, failure, fax, recordProblem);
        }));
}

void PacketCommands::sent(const FaxCall& call, std::exception_ptr failure, const SentFax& fax,
                          const QString& recordProblem) {
    emit busyChanged(false);
    if (jobCancelled()) {
        emit status(tr("Sending stopped: the fax to %1 was not handed over.").arg(call.number),
                    kStatusMessageTime);
        return;
    }
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const FaxServerPasswordNeeded& needed) {
            // Asked once for the run; the fax goes as soon as it is given.
            if (AskFaxServerPassword(&window_, needed.address(), needed.refused()))
                return startSend(call);
            emit status(QStringLiteral("The fax was not sent"), kStatusMessageTime);
            return;
        } catch (...) {
        }
        emit status(QStringLiteral("The fax was not sent"), kStatusMessageTime);
        ShowMessage({.title = {},
                     .text = DescribeFailure(failure) +
                             QStringLiteral("\n\nNothing was lost: give Send Fax again when the "
                                            "server can take it."),
                     .icon = MessageIcon::Warning});
        return;
    }
    FaxOutbox::shared().refresh();
    QString sentText = QStringLiteral("The fax to %1 is with the fax server %2 as job %3.")
                           .arg(call.number, call.server.text(), fax.jobId);
    if (call.sendAt.isValid())
        sentText += QLatin1Char(' ') +
                    tr("It waits there until %1.")
                        .arg(QLocale().toString(call.sendAt.toLocalTime(), QLocale::ShortFormat));
    emit status(sentText, kStatusMessageTime);
    QString boxText = sentText + QStringLiteral("\n\n") +
                      tr("File > Outbox shows how it goes; you are told when it is sent.");
    if (!recordProblem.isEmpty())
        boxText += QStringLiteral("\n\n") +
                   tr("It could not be kept in the list of faxes sent: %1").arg(recordProblem);
    ShowMessage({.title = {}, .text = boxText});
}

}  // namespace velmora
