#include "ReceivedWindow.h"

#include "AttachedDocuments.h"
#include "FaxNotices.h"
#include "FaxViewer.h"
#include "SendFaxDialog.h"
#include "fax/ImagePages.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/AtomicFile.h"
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
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

namespace velmora {
namespace {

constexpr int kReceivedStatusTime = 30'000;
constexpr QSize kReceivedClientSize(760, 400);

QPointer<ReceivedWindow>& openReceivedWindow() {
    static QPointer<ReceivedWindow> window;
    return window;
}

QString FromWords(const ReceivedFax& fax) {
    if (fax.from().isEmpty()) return ReceivedWindow::tr("Unknown sender");
    // The phone book's name with the station's own id beside it, where both are known.
    if (!fax.knownName.isEmpty() && !fax.sender.isEmpty() && fax.sender != fax.knownName)
        return ReceivedWindow::tr("%1 (%2)").arg(fax.knownName, fax.sender);
    return fax.from();
}

}  // namespace

void ShowReceivedFaxes(QWidget* from, AttachedDocuments& documents) {
    ReceivedFaxes& faxes = ReceivedFaxes::shared();
    faxes.setNameLookup(PhoneBookName);
    faxes.setServer(LastFaxServer());
    ReceivedWindow* window = ShowOneWindow(openReceivedWindow(), from,
                                           [&] { return new ReceivedWindow(faxes, &documents); });
    window->setCoverWindow(from);
}

// --- The table ---

void ReceivedTable::setFaxes(const std::vector<ReceivedFax>& faxes) {
    beginResetModel();
    faxes_ = faxes;
    endResetModel();
}

const ReceivedFax* ReceivedTable::fax(int row) const {
    if (row < 0 || row >= int(faxes_.size())) return nullptr;
    return &faxes_[size_t(row)];
}

int ReceivedTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(faxes_.size());
}

int ReceivedTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ReceivedTable::data(const QModelIndex& index, int role) const {
    const ReceivedFax* shown = fax(index.row());
    if (!shown) return {};
    if (role == Qt::FontRole && !shown->read) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::TextAlignmentRole && index.column() == Pages)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    switch (index.column()) {
        case From:
            if (role == Qt::AccessibleTextRole && !shown->read)
                return tr("%1, unread").arg(FromWords(*shown));
            return FromWords(*shown);
        case Pages:
            return shown->pages;
        case Received:
            return shown->received.isValid()
                       ? QLocale().toString(shown->received.toLocalTime(), QLocale::ShortFormat)
                       : QString();
        case Whole:
            if (shown->receiving) return tr("Being received");
            if (!shown->error.isEmpty()) return tr("Partial: %1").arg(shown->error);
            return tr("Whole");
    }
    return {};
}

QVariant ReceivedTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case From:
            return tr("From");
        case Pages:
            return tr("Pages");
        case Received:
            return tr("Received");
        case Whole:
            return tr("Whole or Partial");
    }
    return {};
}

// --- The window ---

ReceivedWindow* ReceivedWindow::open() {
    return openReceivedWindow();
}

ReceivedWindow::ReceivedWindow(ReceivedFaxes& faxes, AttachedDocuments* documents, QWidget* parent)
    : QWidget(parent, Qt::Window), faxes_(&faxes), documents_(documents) {
    SetWindowAccessibility(*this, tr("%1 received faxes").arg(QLatin1String(kProductName)),
                           tr("The faxes the fax server received, newest first"));
    setWindowTitle(tr("Received Faxes \u2014 %1").arg(QLatin1String(kProductName)));
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_QuitOnClose, false);
    chrome_ = AddWindowChrome(*this, kReceivedClientSize);

    auto* layout = new QVBoxLayout(chrome_.client);
    layout->setContentsMargins(8, 8, 8, 8);
    problem_ = AddServerProblemLine(*chrome_.client, *layout);

    table_ = new ReceivedTable(this);
    view_ = new QTableView(chrome_.client);
    view_->setModel(table_);
    SetUpFaxList(*view_, tr("Faxes received"), {300, 60, 150});
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(view_, 1);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    createCommands();
    const auto button = [&](Command which) {
        auto* shown = new QPushButton(commands_[which]->text(), chrome_.client);
        ShowCommandOnButton(*shown, *commands_[which]);
        buttons->addWidget(shown);
    };
    for (Command which : {Open, Save, Print, Forward, Delete}) button(which);
    buttons->addStretch();
    button(Refresh);
    button(Close);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ReceivedWindow::updateActions);
    connect(view_, &QAbstractItemView::activated, this, [this] {
        if (commands_[Open]->isEnabled()) commands_[Open]->trigger();
    });
    connect(&faxes, &ReceivedFaxes::changed, this, &ReceivedWindow::faxesChanged);
    connect(
        &faxes, &ReceivedFaxes::passwordNeeded, this,
        [this](const FaxServerAddress& server, bool refused) {
            if (isVisible() && AskFaxServerPassword(this, server, refused) && faxes_)
                faxes_->refresh();
        },
        Qt::QueuedConnection);
    connect(&faxes, &QObject::destroyed, this, &QObject::deleteLater);
    faxesChanged();
}

ReceivedWindow::~ReceivedWindow() = default;

void ReceivedWindow::createCommands() {
    const auto ctrl = [](auto key) { return QKeySequence(Qt::CTRL | key); };
    AddWindowCommands(
        *this, {{&commands_[Open],
                 tr("Open"),
                 {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), ctrl(Qt::Key_O)},
                 [this] { openFax(); }},
                {&commands_[Save],
                 tr("Save As\u2026"),
                 {QKeySequence(QKeySequence::Save)},
                 [this] { save(); }},
                {&commands_[Print],
                 tr("Print\u2026"),
                 {QKeySequence(QKeySequence::Print)},
                 [this] { print(); }},
                {&commands_[Forward], tr("Forward"), {ctrl(Qt::Key_F)}, [this] { forward(); }},
                {&commands_[Delete],
                 tr("Delete"),
                 {QKeySequence(QKeySequence::Delete)},
                 [this] { remove(); }},
                {&commands_[Refresh],
                 tr("Refresh"),
                 {QKeySequence(Qt::Key_F5), QKeySequence(QKeySequence::Refresh)},
                 [this] {
                     if (faxes_) faxes_->refresh();
                 }},
                {&commands_[Close],
                 tr("Close"),
                 {ctrl(Qt::Key_W), QKeySequence(QKeySequence::Cancel)},
                 [this] { close(); }}});
    for (QAction* command : commands_) command->setToolTip(ShortcutToolTip(*command));
    const QList<QList<QAction*>> faxCommands{{commands_[Open]},
                                             {commands_[Save], commands_[Print]},
                                             {commands_[Forward]},
                                             {commands_[Delete]}};
    QMenuBar& bar = *chrome_.menuBar;
    AddCommandGroups(*bar.addMenu(tr("&File")), {{commands_[Refresh]}, {commands_[Close]}});
    AddCommandGroups(*bar.addMenu(tr("F&ax")), faxCommands);
    QMenu* help = bar.addMenu(tr("&Help"));
    help->addAction(tr("&About %1").arg(QLatin1String(kProductName)), this,
                    [this] { ShowAbout(this); });
    chrome_.menusAdded();
    view_->addActions({commands_[Open], commands_[Save], commands_[Print], commands_[Forward],
                       commands_[Delete]});
}

const ReceivedFax* ReceivedWindow::selected() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : table_->fax(rows.front().row());
}

// One command at a time; Refresh and Close always.
void ReceivedWindow::updateActions() {
    const ReceivedFax* fax = selected();
    const bool idle = !job_ && faxes_;
    const bool readable = idle && fax && fax->pages > 0;
    commands_[Open]->setEnabled(readable);
    commands_[Save]->setEnabled(readable);
    commands_[Print]->setEnabled(readable);
    commands_[Forward]->setEnabled(readable && documents_ && !fax->receiving);
    commands_[Delete]->setEnabled(idle && fax && !fax->receiving);
    commands_[Refresh]->setEnabled(bool(faxes_));
}

void ReceivedWindow::faxesChanged() {
    if (!faxes_) return;
    const ReceivedFax* before = selected();
    const QString key = before ? before->key() : QString();
    table_->setFaxes(faxes_->faxes());
    int row = 0;
    for (int at = 0; at < table_->rowCount(); ++at)
        if (table_->fax(at)->key() == key) row = at;
    if (table_->rowCount() > 0) view_->selectRow(row);
    const QString& problem = faxes_->problem();
    if (problem_->text() != problem) problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    if (!faxes_->answered() && problem.isEmpty())
        chrome_.statusBar->showMessage(tr("Asking %1\u2026").arg(faxes_->server().text()));
    else if (chrome_.statusBar->currentMessage().startsWith(tr("Asking")))
        chrome_.statusBar->clearMessage();
    updateActions();
}

void ReceivedWindow::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous() && pos().isNull()) centred_ = CentreOnScreen(*this);
    QWidget::showEvent(event);
    if (faxes_) faxes_->refresh();
}

void ReceivedWindow::ended(const QString& what, std::exception_ptr failure, const QString& done) {
    job_.clear();
    updateActions();
    if (!failure) {
        if (!done.isEmpty()) chrome_.statusBar->showMessage(done, kReceivedStatusTime);
        return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const JobGivenUp&) {
        chrome_.statusBar->showMessage(tr("%1: stopped").arg(what), kReceivedStatusTime);
        return;
    } catch (...) {
    }
    chrome_.statusBar->showMessage(tr("%1: not done").arg(what), kReceivedStatusTime);
    ShowMessage({.title = {}, .text = DescribeFailure(failure), .icon = MessageIcon::Warning});
}

void ReceivedWindow::withFax(const QString& what, std::function<void(const QString& tiff)> then,
                             std::function<void(const ReceivedFax&, const QString&)> after) {
    const ReceivedFax* fax = selected();
    if (!fax || !faxes_ || job_) return;
    const ReceivedFax chosen = *fax;
    auto tiff = std::make_shared<QString>();
    chrome_.statusBar->showMessage(
        tr("%1: fetching the fax from %2\u2026").arg(what, chosen.server));
    job_ = faxes_->worker().post(
        this,
        [faxes = faxes_.data(), chosen, tiff, then = std::move(then)] {
            *tiff = faxes->fetchNow(chosen);
            if (then) then(*tiff);
        },
        [this, what, chosen, tiff, after = std::move(after)](std::exception_ptr failure) {
            ended(what, failure, {});
            if (!failure && after) after(chosen, *tiff);
        });
    updateActions();
}

void ReceivedWindow::openFax() {
    if (!commands_[Open]->isEnabled()) return;
    const ReceivedFax* fax = selected();
    if (!fax) return;
    const ReceivedFax chosen = *fax;
    auto pdf = std::make_shared<QString>();
    job_ = faxes_->worker().post(
        this, [faxes = faxes_.data(), chosen, pdf] { *pdf = faxes->pdfNow(chosen); },
        [this, chosen, pdf](std::exception_ptr failure) {
            ended(tr("Open"), failure, {});
            if (failure) return;
            if (faxes_) faxes_->markRead(chosen);
            const QString from = FromWords(chosen);
            auto* viewer = new FaxViewer(*pdf, tr("Fax from %1").arg(from),
                                         tr("The fax received from %1, page by page").arg(from));
            viewer->setAttribute(Qt::WA_DeleteOnClose);
            viewer->setAttribute(Qt::WA_QuitOnClose, false);
            viewer->setFaxView(true);
            connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
            viewer->move(frameGeometry().topLeft() + QPoint(40, 40));
            viewer->show();
            viewer->raise();
            viewer->activateWindow();
        });
    chrome_.statusBar->showMessage(tr("Opening the fax from %1\u2026").arg(FromWords(chosen)));
    updateActions();
}

void ReceivedWindow::save() {
    if (!commands_[Save]->isEnabled()) return;
    const ReceivedFax* fax = selected();
    if (!fax) return;
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
    const QString pdfFilter = tr("PDF Files (*.pdf)");
    const QString tiffFilter = tr("Fax TIFF Files (*.tif)");
    const QString stem = QFileInfo(fax->file).completeBaseName();
    const SaveDialogChoice choice =
        saveDialog_(this, {.fileName = QDir(documents).filePath(stem + QStringLiteral(".pdf")),
                           .title = tr("Save Fax As"),
                           .filter = pdfFilter + QStringLiteral(";;") + tiffFilter,
                           .selectedFilter = pdfFilter,
                           .folder = documents});
    if (choice.fileName.isEmpty()) return;
    QString target = choice.fileName;
    const QString suffix = QFileInfo(target).suffix().toLower();
    bool asTiff = suffix == QLatin1String("tif") || suffix == QLatin1String("tiff");
    if (suffix != QLatin1String("pdf") && !asTiff) {
        asTiff = choice.filter == tiffFilter;
        target += asTiff ? QStringLiteral(".tif") : QStringLiteral(".pdf");
    }
    if (QFileInfo::exists(target) &&
        ShowMessage({.title = {},
                     .text = tr("%1 already exists.\nDo you want to replace it?").arg(target),
                     .icon = MessageIcon::Warning,
                     .buttons = MessageButtons::YesNo}) != MessageAnswer::Yes)
        return;
    const QString done = tr("Saved the fax: %1").arg(QDir::toNativeSeparators(target));
    withFax(
        tr("Save As"),
        [target, asTiff](const QString& tiff) {
            if (asTiff)
                AtomicFile::Copy(tiff, target);
            else
                WriteImagePdf(tiff, target);
        },
        [this, done](const ReceivedFax&, const QString&) {
            chrome_.statusBar->showMessage(done, kReceivedStatusTime);
        });
}

void ReceivedWindow::print() {
    if (!commands_[Print]->isEnabled()) return;
    const ReceivedFax* fax = selected();
    if (!fax) return;
    const ReceivedFax chosen = *fax;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(tr("Fax from %1").arg(FromWords(chosen)));
    if (!printDialog_(this, *printer)) return;
    job_ = faxes_->worker().post(
        this,
        [faxes = faxes_.data(), chosen, printer] {
            const PagePrinter pages(faxes->pdfNow(chosen));
            if (!pages.print(*printer, [](int, int) { return !JobCancelled(); }))
                ThrowIfJobCancelled();
        },
        [this, chosen](std::exception_ptr failure) {
            ended(tr("Print"), failure,
                  tr("The fax from %1 went to the printer.").arg(FromWords(chosen)));
        });
    updateActions();
}

// The fax goes behind the packet's cover as an attached document; the window with the cover
// comes forward, to write the cover and send.
void ReceivedWindow::forward() {
    if (!commands_[Forward]->isEnabled()) return;
    withFax(tr("Forward"), {}, [this](const ReceivedFax& fax, const QString& tiff) {
        if (!documents_) return;
        documents_->attach({tiff});
        const QString told =
            tr("The fax from %1 is attached behind the cover: write the cover and send it.")
                .arg(FromWords(fax));
        chrome_.statusBar->showMessage(told, kReceivedStatusTime);
        if (QWidget* cover = coverWindow_) {
            if (auto* bar = cover->findChild<QStatusBar*>())
                bar->showMessage(told, kReceivedStatusTime);
            cover->show();
            cover->raise();
            cover->activateWindow();
        }
    });
}

void ReceivedWindow::remove() {
    if (!commands_[Delete]->isEnabled()) return;
    const ReceivedFax* fax = selected();
    if (!fax) return;
    const ReceivedFax chosen = *fax;
    if (ShowMessage({.title = {},
                     .text = tr("Delete the fax from %1 from the fax server? It cannot be "
                                "opened again, here or anywhere.")
                                 .arg(FromWords(chosen)),
                     .icon = MessageIcon::Warning,
                     .buttons = MessageButtons::YesNo}) != MessageAnswer::Yes)
        return;
    job_ = faxes_->remove(chosen, this, [this, chosen](std::exception_ptr failure) {
        ended(tr("Delete"), failure, tr("The fax from %1 was deleted.").arg(FromWords(chosen)));
    });
    updateActions();
}

}  // namespace velmora
