#include "OutboxWindow.h"

#include "FaxListView.h"
#include "FaxViewer.h"
#include "OutboxTable.h"
#include "SendFaxDialog.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/TransmissionReport.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/Procedure.h"
#include "shell/ui/MessageBox.h"
#include "shell/ui/OneWindow.h"
#include "shell/ui/ShortcutToolTip.h"
#include "shell/ui/WindowAccessibility.h"
#include "shell/ui/WindowCommand.h"
#include "shell/ui/WindowLook.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

namespace velmora {
namespace {

// How long the status bar tells what a command did.
constexpr int kOutboxStatusTime = 30'000;
constexpr QSize kOutboxClientSize(900, 420);

QPointer<OutboxWindow>& openWindow() {
    static QPointer<OutboxWindow> window;
    return window;
}

QString RecipientOf(const SentFax& fax) {
    return fax.recipient.isEmpty() ? fax.number : fax.recipient;
}

bool KeptCopy(const SentFax& fax) {
    return fax.id > 0 && !fax.document.isEmpty() && QFileInfo::exists(fax.document);
}

}  // namespace

void ShowOutbox(QWidget* from) {
    ShowOneWindow(openWindow(), from, [] { return new OutboxWindow(FaxOutbox::shared()); });
}

OutboxWindow* OutboxWindow::open() {
    return openWindow();
}

OutboxWindow::OutboxWindow(FaxOutbox& outbox, QWidget* parent)
    : QWidget(parent, Qt::Window), outbox_(&outbox) {
    SetWindowAccessibility(*this, tr("%1 outbox").arg(QLatin1String(kProductName)),
                           tr("The faxes sent from here and what became of them"));
    setWindowTitle(tr("Outbox \u2014 %1").arg(QLatin1String(kProductName)));
    setWindowIcon(ProgramIcon());
    // Neither keeps the program running nor ends it: the editor and the preview do.
    setAttribute(Qt::WA_QuitOnClose, false);
    chrome_ = AddWindowChrome(*this, kOutboxClientSize);

    auto* layout = new QVBoxLayout(chrome_.client);
    layout->setContentsMargins(8, 8, 8, 8);
    problem_ = AddServerProblemLine(*chrome_.client, *layout);

    table_ = new OutboxTable(this);
    view_ = new QTableView(chrome_.client);
    view_->setModel(table_);
    SetUpFaxList(*view_, tr("Faxes sent"), {140, 105, 235, 55, 40, 150});
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(view_, 1);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    createCommands();
    const auto button = [&](Command which) {
        auto* shown = new QPushButton(commands_[which]->text(), chrome_.client);
        ShowCommandOnButton(*shown, *commands_[which]);
        connect(commands_[which], &QAction::changed, shown,
                [shown, action = commands_[which]] { shown->setText(action->text()); });
        buttons->addWidget(shown);
        return shown;
    };
    for (Command which : {Show, Cancel, HoldRelease, Resend, Remove}) button(which);
    buttons->addStretch();
    button(Refresh);
    button(Close);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OutboxWindow::updateActions);
    connect(view_, &QAbstractItemView::activated, this, [this] {
        if (commands_[Show]->isEnabled()) commands_[Show]->trigger();
    });
    connect(view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { rowMenu_->popup(view_->viewport()->mapToGlobal(at)); });
    connect(&outbox, &FaxOutbox::changed, this, &OutboxWindow::outboxChanged);
    connect(&outbox, &FaxOutbox::commandDone, this, &OutboxWindow::commandDone);
    // Asked once the poll that found it has ended wholly, so that the refresh that follows is
    // not taken for it.
    connect(&outbox, &FaxOutbox::passwordNeeded, this, &OutboxWindow::passwordNeeded,
            Qt::QueuedConnection);
    connect(&outbox, &QObject::destroyed, this, &QObject::deleteLater);
    outboxChanged();
}

OutboxWindow::~OutboxWindow() {
    if (outbox_) outbox_->setWatched(false);
}

void OutboxWindow::createCommands() {
    const auto ctrl = [](auto key) { return QKeySequence(Qt::CTRL | key); };
    AddWindowCommands(
        *this,
        {{&commands_[Show],
          tr("Show"),
          {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
          [this] {
              if (const SentFax* fax = selected()) showFax(*fax);
          }},
         {&commands_[Cancel], tr("Cancel Fax"), {ctrl(Qt::Key_K)}, [this] { cancelFax(); }},
         {&commands_[HoldRelease], tr("Hold"), {ctrl(Qt::Key_H)}, [this] { holdOrRelease(); }},
         {&commands_[Resend],
          tr("Resend"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)},
          [this] { resend(); }},
         {&commands_[SaveConfirmation],
          tr("Save Confirmation\u2026"),
          {QKeySequence(QKeySequence::Save)},
          [this] { saveConfirmation(); }},
         {&commands_[PrintConfirmation],
          tr("Print Confirmation\u2026"),
          {QKeySequence(QKeySequence::Print)},
          [this] { printConfirmation(); }},
         {&commands_[Remove],
          tr("Remove from List"),
          {QKeySequence(QKeySequence::Delete)},
          [this] { remove(); }},
         {&commands_[Refresh],
          tr("Refresh"),
          {QKeySequence(Qt::Key_F5), QKeySequence(QKeySequence::Refresh)},
          [this] {
              if (outbox_) outbox_->refresh();
          }},
         {&commands_[Close],
          tr("Close"),
          {ctrl(Qt::Key_W), QKeySequence(QKeySequence::Cancel)},
          [this] { close(); }}});
    for (QAction* command : commands_) command->setToolTip(ShortcutToolTip(*command));

    const QList<QList<QAction*>> faxCommands{
        {commands_[Show]},
        {commands_[Cancel], commands_[HoldRelease], commands_[Resend]},
        {commands_[SaveConfirmation], commands_[PrintConfirmation]},
        {commands_[Remove]}};
    QMenuBar& bar = *chrome_.menuBar;
    AddCommandGroups(*bar.addMenu(tr("&File")), {{commands_[Refresh]}, {commands_[Close]}});
    AddCommandGroups(*bar.addMenu(tr("F&ax")), faxCommands);
    QMenu* help = bar.addMenu(tr("&Help"));
    help->addAction(tr("&About %1").arg(QLatin1String(kProductName)), this,
                    [this] { ShowAbout(this); });
    chrome_.menusAdded();
    rowMenu_ = new QMenu(this);
    rowMenu_->setObjectName(QStringLiteral("FaxMenu"));
    AddCommandGroups(*rowMenu_, faxCommands);
}

const SentFax* OutboxWindow::selected() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : table_->fax(rows.front().row());
}

// One command on the outbox's worker at a time: while one runs, those that change a fax or
// write wait; Show and Refresh never do.
void OutboxWindow::updateActions() {
    const SentFax* fax = selected();
    const bool idle = !job_ && outbox_;
    commands_[Cancel]->setEnabled(idle && fax && FaxOutbox::canCancel(*fax));
    const bool release = fax && FaxOutbox::canRelease(*fax);
    commands_[HoldRelease]->setText(release ? tr("Release") : tr("Hold"));
    commands_[HoldRelease]->setEnabled(idle && fax && (release || FaxOutbox::canHold(*fax)));
    commands_[Resend]->setEnabled(idle && fax && KeptCopy(*fax));
    commands_[Show]->setEnabled(fax && KeptCopy(*fax));
    const bool sent = fax && fax->state == FaxJobState::Done;
    commands_[SaveConfirmation]->setEnabled(idle && sent);
    commands_[PrintConfirmation]->setEnabled(idle && sent);
    commands_[Remove]->setEnabled(idle && fax && fax->id > 0);
    commands_[Refresh]->setEnabled(bool(outbox_));
}

void OutboxWindow::outboxChanged() {
    if (!outbox_) return;
    table_->setFaxes(outbox_->faxes());
    const QString& problem = outbox_->problem();
    if (problem_->text() != problem) problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    // The first faxes listed: the newest is the one the user is after.
    if (!view_->selectionModel()->hasSelection() && !view_->currentIndex().isValid() &&
        table_->rowCount() > 0)
        view_->selectRow(0);
    updateActions();
}

void OutboxWindow::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous() && pos().isNull()) centred_ = CentreOnScreen(*this);
    QWidget::showEvent(event);
    if (outbox_) outbox_->setWatched(true, LastFaxServer());
}

void OutboxWindow::closeEvent(QCloseEvent* event) {
    if (outbox_) outbox_->setWatched(false);
    event->accept();
}

bool OutboxWindow::ask(const QString& question) const {
    return ShowMessage({.title = {},
                        .text = question,
                        .icon = MessageIcon::Warning,
                        .buttons = MessageButtons::YesNo}) == MessageAnswer::Yes;
}

void OutboxWindow::started(Job* job, const QString& done) {
    job_ = job;
    doneText_ = done;
    updateActions();
}

void OutboxWindow::commandDone(const QString& what, const QString& failure) {
    // The end of this window's command comes once its job has ended; any other is not its own.
    if (!job_ || !job_->ended()) return;
    job_.clear();
    updateActions();
    if (failure.isEmpty()) {
        chrome_.statusBar->showMessage(doneText_, kOutboxStatusTime);
        return;
    }
    chrome_.statusBar->showMessage(tr("%1: not done").arg(what), kOutboxStatusTime);
    ShowMessage({.title = {}, .text = failure, .icon = MessageIcon::Warning});
}

void OutboxWindow::passwordNeeded(const FaxServerAddress& server, bool refused) {
    if (!isVisible() || !outbox_) return;
    if (AskFaxServerPassword(this, server, refused) && outbox_) outbox_->refresh();
}

void OutboxWindow::cancelFax() {
    const SentFax* fax = selected();
    if (!fax || !outbox_ || !commands_[Cancel]->isEnabled()) return;
    const SentFax chosen = *fax;
    if (!ask(tr("Cancel the fax to %1? It will not be sent.").arg(RecipientOf(chosen)))) return;
    started(outbox_->cancel(chosen), tr("The fax to %1 was cancelled.").arg(RecipientOf(chosen)));
}

void OutboxWindow::holdOrRelease() {
    const SentFax* fax = selected();
    if (!fax || !outbox_ || !commands_[HoldRelease]->isEnabled()) return;
    const SentFax chosen = *fax;
    if (FaxOutbox::canRelease(chosen))
        started(outbox_->release(chosen),
                tr("The fax to %1 was released: the server sends it.").arg(RecipientOf(chosen)));
    else
        started(outbox_->hold(chosen),
                tr("The fax to %1 is held: the server keeps it until it is released.")
                    .arg(RecipientOf(chosen)));
}

void OutboxWindow::resend() {
    const SentFax* fax = selected();
    if (!fax || !outbox_ || !commands_[Resend]->isEnabled()) return;
    const SentFax chosen = *fax;
    started(outbox_->resend(chosen),
            tr("The fax to %1 was handed to the server again.").arg(RecipientOf(chosen)));
}

void OutboxWindow::remove() {
    const SentFax* fax = selected();
    if (!fax || !outbox_ || !commands_[Remove]->isEnabled()) return;
    const SentFax chosen = *fax;
    const QString question =
        FaxJobEnded(chosen.state)
            ? tr("Remove the fax to %1 from the list? Its kept copy goes with it.")
                  .arg(RecipientOf(chosen))
            : tr("Remove the fax to %1 from the list? It is still on the server, which goes on "
                 "with it; its kept copy goes.")
                  .arg(RecipientOf(chosen));
    if (!ask(question)) return;
    started(outbox_->remove(chosen),
            tr("The fax to %1 was removed from the list.").arg(RecipientOf(chosen)));
}

void OutboxWindow::showFax(const SentFax& fax) {
    auto* viewer = new FaxViewer(fax);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setAttribute(Qt::WA_QuitOnClose, false);
    connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
    viewer->move(frameGeometry().topLeft() + QPoint(40, 40));
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

// The confirmation of a fax sent: the transmission report as a one-page PDF, written on the
// outbox's worker.
void OutboxWindow::saveConfirmation() {
    const SentFax* fax = selected();
    if (!fax || !outbox_ || !commands_[SaveConfirmation]->isEnabled()) return;
    const SentFax chosen = *fax;
    // The user's documents folder, or the home folder where there is none.
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
    const QString name = tr("Fax confirmation %1.pdf").arg(chosen.jobId);
    const SaveDialogChoice choice = saveDialog_(this, {.fileName = QDir(documents).filePath(name),
                                                       .title = tr("Save Confirmation"),
                                                       .filter = tr("PDF Files (*.pdf)"),
                                                       .selectedFilter = {},
                                                       .folder = documents});
    if (choice.fileName.isEmpty()) return;
    QString target = choice.fileName;
    if (QFileInfo(target).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        target += QStringLiteral(".pdf");
    if (QFileInfo::exists(target) &&
        !ask(tr("%1 already exists.\nDo you want to replace it?").arg(target)))
        return;
    const QString done = tr("Saved the confirmation of the fax to %1: %2")
                             .arg(RecipientOf(chosen), QDir::toNativeSeparators(target));
    started(outbox_->worker().post(
                this, [chosen, target] { WriteTransmissionReport(chosen, target); },
                [this, what = tr("Save Confirmation")](std::exception_ptr failure) {
                    commandDone(what, failure ? DescribeFailure(failure) : QString());
                }),
            done);
}

void OutboxWindow::printConfirmation() {
    const SentFax* fax = selected();
    if (!fax || !outbox_ || !commands_[PrintConfirmation]->isEnabled()) return;
    const SentFax chosen = *fax;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(tr("Fax confirmation %1").arg(chosen.jobId));
    printer->setPageSize(QPageSize(TransmissionReportPaper(QLocale())));
    if (!printDialog_(this, *printer)) return;
    started(
        outbox_->worker().post(
            this,
            [chosen, printer] {
                printer->setFullPage(true);
                QPainter painter;
                if (!painter.begin(printer.get()))
                    throw Failure(tr("The printer '%1' cannot print.").arg(printer->printerName()));
                const QRectF paper = printer->pageLayout().fullRectPixels(printer->resolution());
                const int copies =
                    printer->supportsMultipleCopies() ? 1 : std::max(1, printer->copyCount());
                for (int copy = 0; copy < copies; ++copy) {
                    ThrowIfJobCancelled();
                    if (copy > 0 && !printer->newPage())
                        throw Failure(tr("The printer refused a new page."));
                    DrawTransmissionReport(chosen, painter, paper);
                }
                if (!painter.end()) throw Failure(tr("The printer could not finish the job."));
            },
            [this, what = tr("Print Confirmation")](std::exception_ptr failure) {
                commandDone(what, failure ? DescribeFailure(failure) : QString());
            }),
        tr("The confirmation of the fax to %1 went to the printer.").arg(RecipientOf(chosen)));
}

}  // namespace velmora
