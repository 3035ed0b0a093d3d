#pragma once

#include "PagePrinter.h"
#include "SaveDialog.h"
#include "fax/server/SentFax.h"
#include "shell/ui/WindowChrome.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QTableView;

namespace velmora {

class FaxOutbox;
class FaxServerAddress;
class Job;
class OutboxTable;

// File > Outbox…: opens the program's outbox window (FaxOutbox::shared()), or raises it when it
// is open already. `from`: the window the user asked from.
void ShowOutbox(QWidget* from);

// The outbox window: the faxes sent from here (and, while it is open, this user's other jobs on
// the server last used), newest first, kept up to date in place while the window is open, with
// the commands on one fax. It shows the outbox and commands it; each command is a job on the
// outbox's worker whose handle it holds until its end.
class OutboxWindow : public QWidget {
    Q_OBJECT
public:
    enum Command {
        Cancel,
        HoldRelease,
        Resend,
        Show,
        SaveConfirmation,
        PrintConfirmation,
        Remove,
        Refresh,
        Close,
        CommandCount
    };

    explicit OutboxWindow(FaxOutbox& outbox, QWidget* parent = nullptr);
    ~OutboxWindow() override;

    // The window ShowOutbox opened, while it is open.
    static OutboxWindow* open();

    QAction* command(Command which) const { return commands_[which]; }
    const OutboxTable& table() const { return *table_; }
    QTableView& view() const { return *view_; }
    // The fax the commands act on (the selected row), or null.
    const SentFax* selected() const;
    // The command under way, or null.
    Job* job() const { return job_; }

    // Replace the dialogs, so that tests can choose a file or a printer, or cancel.
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createCommands();
    // Enables the commands the selected fax and the command under way allow.
    void updateActions();
    void outboxChanged();
    // A command on the selected fax began as `job`; `done` is what the status bar tells when it
    // did what it was to do.
    void started(Job* job, const QString& done);
    void commandDone(const QString& what, const QString& failure);
    void passwordNeeded(const FaxServerAddress& server, bool refused);
    bool ask(const QString& question) const;
    void cancelFax();
    void holdOrRelease();
    void resend();
    void showFax(const SentFax& fax);
    void saveConfirmation();
    void printConfirmation();
    void remove();

    QPointer<FaxOutbox> outbox_;
    WindowChrome chrome_;
    OutboxTable* table_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* problem_ = nullptr;
    QMenu* rowMenu_ = nullptr;
    QAction* commands_[CommandCount] = {};
    QPointer<Job> job_;
    QString doneText_;  // what the status bar tells when the command under way did its work
    SaveDialog saveDialog_ = RunSaveDialog;
    PrintDialog printDialog_ = RunPrintDialog;
    bool centred_ = false;
};

}  // namespace velmora
