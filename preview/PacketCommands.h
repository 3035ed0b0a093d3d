#pragma once

#include "PagePrinter.h"
#include "SaveCommand.h"
#include "fax/FaxPages.h"
#include "fax/server/SendJob.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <exception>

class QWidget;

namespace velmora {

class FaxPacket;
class Job;

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
    // Gives up the way out under way, if any.
    void stop();
    // The way out under way, or null.
    Job* job() const { return job_; }

    // Replace the dialogs, so that tests can choose or cancel.
    void setSaveDialog(SaveDialog dialog) { save_.setDialog(std::move(dialog)); }
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }

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
    void sent(const FaxCall& call, std::exception_ptr failure, const SentFax& fax,
              const QString& recordProblem);

    FaxPacket& packet_;
    QWidget& window_;
    SaveCommand save_;
    PrintDialog printDialog_ = RunPrintDialog;
    QPointer<Job> job_;
};

}  // namespace velmora
