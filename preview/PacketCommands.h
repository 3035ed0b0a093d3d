#pragma once

#include "PagePrinter.h"
#include "SaveCommand.h"
#include "fax/FaxPages.h"
#include "fax/server/SendJob.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>
#include <vector>

class QWidget;

namespace velmora {

// Asks for the folder a command saves into; empty when cancelled.
using FolderDialog = std::function<QString(QWidget* parent)>;
QString RunFolderDialog(QWidget* parent);

class FaxPacket;
class Job;
struct CoverRecipient;

// The preview's ways out of the packet: save ("Save Results To Word File", "Save as PDF"),
// print and send, each asked for with its dialog, then run as a job (fax/SaveJob,
// preview/PrintJob, fax/SendJob) whose handle this holds until its end, which it tells: a
// status line, a box where the user must know. One way out at a time; stop() gives it up.
class PacketCommands : public QObject {
    Q_OBJECT
public:
    PacketCommands(FaxPacket& packet, QWidget& window);

    // `filter`: the format whose filter the save dialog starts with.
    void save(DocumentFormat filter, FaxResolution resolution);
    void print();
    void send(FaxResolution resolution);
    // The packet as one PDF for each recipient chosen from the phone book, each behind a cover
    // of its own, into a folder the user chooses.
    void saveForEach();
    // Gives up the way out under way, if any.
    void stop();
    // The way out under way, or null.
    Job* job() const { return job_; }

    // Replace the dialogs, so that tests can choose or cancel.
    void setSaveDialog(SaveDialog dialog) { save_.setDialog(std::move(dialog)); }
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }
    void setFolderDialog(FolderDialog dialog) { folderDialog_ = std::move(dialog); }

signals:
    // A way out began (true) or ended (false).
    void busyChanged(bool busy);
    // What the status bar tells, for `milliseconds` (0: until something else is told).
    void status(const QString& text, int milliseconds);

private:
    void startJob(Job* job);
    // Whether the job that tells its end now was given up.
    bool jobCancelled() const;
    // Whether the packet's working files are all in the temporary folder; where one was
    // removed meanwhile (by a tidying tool, say), tells the user how to make them again.
    bool workingFilesThere();
    void saved(const SaveOrder& order, std::exception_ptr failure);
    // Whether the packet may go to call.number: never sent there, or the user agrees to send it
    // again.
    bool sendingAgainAgreed(const FaxCall& call);
    // Whether call.number may be dialled: known, or the user agrees.
    bool numberAgreed(const FaxCall& call);
    void startSend(const FaxCall& call);
    // Several recipients: the numbers agreed to, then a cover and a fax each.
    bool numbersAgreed(const std::vector<CoverRecipient>& recipients);
    void startSendToEach(const FaxCall& call, const std::vector<CoverRecipient>& recipients);
    // What a job working through covers tells while it runs.
    void showProgress(Job* job);
    void sent(const FaxCall& call, std::exception_ptr failure, const SentFax& fax,
              const QString& recordProblem);

    FaxPacket& packet_;
    QWidget& window_;
    SaveCommand save_;
    PrintDialog printDialog_ = RunPrintDialog;
    FolderDialog folderDialog_ = RunFolderDialog;
    QPointer<Job> job_;
};

}  // namespace velmora
