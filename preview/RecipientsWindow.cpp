#include "RecipientsWindow.h"

#include "RecipientDialog.h"
#include "RecipientTable.h"
#include "recipients/RecipientFiles.h"
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
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <set>

namespace velmora {
namespace {

// How long the status bar tells what a command did.
constexpr int kRecipientsStatusTime = 30'000;
constexpr QSize kRecipientsClientSize(860, 440);
// The entries listed at most for a search: more is scrolling past what typing finds sooner.
constexpr int kListed = 500;
// The people the company directory is asked for at most.
constexpr int kDirectoryLimit = 50;

QPointer<RecipientsWindow>& openWindow() {
    static QPointer<RecipientsWindow> window;
    return window;
}

RecipientSheet& Sheet() {
    static RecipientSheet sheet;
    return sheet;
}

// The entry as the user knows it: its name, else its company, else its fax number.
QString Called(const Recipient& entry) {
    for (const QString& said : {entry.name, entry.company, entry.fax})
        if (!said.trimmed().isEmpty()) return said.trimmed();
    return RecipientsWindow::tr("the entry");
}

Recipient AsRecipient(const DirectoryEntry& found) {
    Recipient entry;
    entry.name = found.name;
    entry.company = found.company;
    entry.fax = found.fax;
    entry.phone = found.phone;
    entry.email = found.email;
    return entry;
}

QTableView* MakeTable(QWidget* parent, RecipientTable* table, const QString& name,
                      const QString& accessibleName) {
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    view->setAccessibleName(accessibleName);
    view->setModel(table);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {190, 180, 140, 140};
    for (int column = 0; column < int(std::size(widths)); ++column)
        view->setColumnWidth(column, widths[column]);
    return view;
}

std::optional<Recipient> RunEditDialog(QWidget* parent, const QString& title,
                                       const Recipient& start) {
    return RunRecipientDialog(parent, title, start);
}

QString RunOpenDialog(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QDir::homePath(), filter);
}

std::optional<QString> RunPasswordDialog(QWidget* parent, const QString& question) {
    bool given = false;
    const QString password =
        QInputDialog::getText(parent, RecipientsWindow::tr("Directory Password"), question,
                              QLineEdit::Password, {}, &given);
    return given ? std::optional(password) : std::nullopt;
}

}  // namespace

void SetRecipientSheet(RecipientSheet sheet) {
    Sheet() = std::move(sheet);
}

void ShowRecipients(QWidget* from) {
    ShowOneWindow(openWindow(), from,
                  [] { return new RecipientsWindow(std::make_shared<PhoneBook>()); });
}

RecipientsWindow* RecipientsWindow::open() {
    return openWindow();
}

RecipientsWindow::RecipientsWindow(std::shared_ptr<PhoneBook> book, QWidget* parent)
    : QWidget(parent, Qt::Window),
      book_(std::move(book)),
      editDialog_(RunEditDialog),
      openDialog_(RunOpenDialog),
      passwordDialog_(RunPasswordDialog) {
    SetWindowAccessibility(*this, tr("%1 recipients").arg(QLatin1String(kProductName)),
                           tr("The phone book and the company directory: whom faxes go to"));
    setWindowTitle(tr("Recipients \u2014 %1").arg(QLatin1String(kProductName)));
    setWindowIcon(ProgramIcon());
    // Neither keeps the program running nor ends it: the editor and the preview do.
    setAttribute(Qt::WA_QuitOnClose, false);
    chrome_ = AddWindowChrome(*this, kRecipientsClientSize);
    createCommands();

    auto* layout = new QVBoxLayout(chrome_.client);
    layout->setContentsMargins(8, 8, 8, 8);
    problem_ = new QLabel(chrome_.client);
    problem_->setObjectName(QStringLiteral("PhoneBookProblem"));
    problem_->setAccessibleName(tr("Phone book problem"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);
    problem_->setStyleSheet(QStringLiteral("color: #a01010;"));
    problem_->setText(book_->problem());
    problem_->setVisible(!problem_->text().isEmpty());
    layout->addWidget(problem_);

    pages_ = new QTabWidget(chrome_.client);
    pages_->setObjectName(QStringLiteral("RecipientPages"));
    pages_->addTab(createPhoneBookPage(), tr("&Phone Book"));
    pages_->addTab(createDirectoryPage(), tr("Company &Directory"));
    layout->addWidget(pages_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    auto* close = new QPushButton(commands_[Close]->text(), chrome_.client);
    ShowCommandOnButton(*close, *commands_[Close]);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
        (page == DirectoryPage ? directorySearch_ : search_)->setFocus(Qt::OtherFocusReason);
        updateActions();
    });
    refreshGroups();
    refresh();
    showDirectoryState();
}

RecipientsWindow::~RecipientsWindow() = default;

void RecipientsWindow::createCommands() {
    const auto ctrl = [](auto key) { return QKeySequence(Qt::CTRL | key); };
    AddWindowCommands(
        *this,
        {// Enter reaches it from the search field and the lists (see below).
         {&commands_[Use], tr("Use"), {}, [this] { use(); }},
         {&commands_[Add],
          tr("Add\u2026"),
          {QKeySequence(QKeySequence::New)},
          [this] { addEntry({}, tr("Add Recipient")); }},
         {&commands_[Edit],
          tr("Edit\u2026"),
          {QKeySequence(Qt::Key_F2), ctrl(Qt::Key_E)},
          [this] { edit(); }},
         {&commands_[Delete],
          tr("Delete"),
          {QKeySequence(QKeySequence::Delete)},
          [this] { remove(); }},
         {&commands_[AddFromSheet],
          tr("Add from Sheet\u2026"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)},
          [this] { addFromSheet(); }},
         {&commands_[Import],
          tr("Import\u2026"),
          {QKeySequence(QKeySequence::Open)},
          [this] { importFile(); }},
         {&commands_[Export],
          tr("Export\u2026"),
          {QKeySequence(QKeySequence::Save)},
          [this] { exportFile(); }},
         {&commands_[AddToPhoneBook], tr("Add to Phone Book\u2026"), {}, [this] { addFound(); }},
         {&commands_[DirectorySetup],
          tr("Directory Settings\u2026"),
          {},
          [this] { setUpDirectory(); }},
         {&commands_[Close],
          tr("Close"),
          {ctrl(Qt::Key_W), QKeySequence(QKeySequence::Cancel)},
          [this] { close(); }}});
    for (QAction* command : commands_) command->setToolTip(ShortcutToolTip(*command));
    commands_[Use]->setToolTip(tr("Put the chosen recipient on the cover sheet (Enter)"));

    QMenuBar& bar = *chrome_.menuBar;
    AddCommandGroups(
        *bar.addMenu(tr("&File")),
        {{commands_[Import], commands_[Export]}, {commands_[DirectorySetup]}, {commands_[Close]}});
    AddCommandGroups(*bar.addMenu(tr("&Recipient")),
                     {{commands_[Use]},
                      {commands_[Add], commands_[AddFromSheet], commands_[Edit], commands_[Delete]},
                      {commands_[AddToPhoneBook]}});
    QMenu* help = bar.addMenu(tr("&Help"));
    help->addAction(tr("&About %1").arg(QLatin1String(kProductName)), this,
                    [this] { ShowAbout(this); });
    chrome_.menusAdded();
}

namespace {

QHBoxLayout* AddButtons(QWidget& page, QAction* const* commands,
                        const QList<RecipientsWindow::Command>& left,
                        const QList<RecipientsWindow::Command>& right) {
    auto* row = new QHBoxLayout;
    const auto add = [&](RecipientsWindow::Command which) {
        auto* shown = new QPushButton(commands[which]->text(), &page);
        ShowCommandOnButton(*shown, *commands[which]);
        row->addWidget(shown);
    };
    for (RecipientsWindow::Command which : left) add(which);
    row->addStretch();
    for (RecipientsWindow::Command which : right) add(which);
    return row;
}

}  // namespace

QWidget* RecipientsWindow::createPhoneBookPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    search_ = new QLineEdit(page);
    search_->setObjectName(QStringLiteral("Search"));
    search_->setAccessibleName(tr("Search the phone book"));
    search_->setPlaceholderText(tr("Name, company or fax number"));
    search_->setClearButtonEnabled(true);
    auto* searchLabel = new QLabel(tr("&Search:"), page);
    searchLabel->setBuddy(search_);
    groups_ = new QComboBox(page);
    groups_->setObjectName(QStringLiteral("Group"));
    groups_->setAccessibleName(tr("Group"));
    groups_->setMinimumContentsLength(14);
    auto* groupLabel = new QLabel(tr("&Group:"), page);
    groupLabel->setBuddy(groups_);
    top->addWidget(searchLabel);
    top->addWidget(search_, 1);
    top->addWidget(groupLabel);
    top->addWidget(groups_);
    layout->addLayout(top);

    table_ = new RecipientTable(this);
    view_ = MakeTable(page, table_, QStringLiteral("Recipients"), tr("Phone book entries"));
    layout->addWidget(view_, 1);
    layout->addLayout(
        AddButtons(*page, commands_, {Use, Add, Edit, Delete, AddFromSheet}, {Import, Export}));

    connect(search_, &QLineEdit::textChanged, this, &RecipientsWindow::refresh);
    connect(search_, &QLineEdit::returnPressed, commands_[Use], &QAction::trigger);
    // Up and down in the search field choose among the entries found.
    search_->installEventFilter(this);
    connect(groups_, &QComboBox::currentIndexChanged, this, &RecipientsWindow::refresh);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecipientsWindow::updateActions);
    connect(view_, &QAbstractItemView::activated, commands_[Use], &QAction::trigger);
    return page;
}

QWidget* RecipientsWindow::createDirectoryPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    directorySearch_ = new QLineEdit(page);
    directorySearch_->setObjectName(QStringLiteral("DirectorySearch"));
    directorySearch_->setAccessibleName(tr("Search the company directory"));
    directorySearch_->setPlaceholderText(tr("Name or company, then Enter"));
    auto* searchLabel = new QLabel(tr("S&earch:"), page);
    searchLabel->setBuddy(directorySearch_);
    top->addWidget(searchLabel);
    top->addWidget(directorySearch_, 1);
    layout->addLayout(top);
    directoryState_ = new QLabel(page);
    directoryState_->setObjectName(QStringLiteral("DirectoryState"));
    directoryState_->setWordWrap(true);
    directoryState_->setTextFormat(Qt::PlainText);
    layout->addWidget(directoryState_);

    directoryTable_ = new RecipientTable(this);
    directoryView_ = MakeTable(page, directoryTable_, QStringLiteral("DirectoryEntries"),
                               tr("People found in the company directory"));
    directoryView_->hideColumn(RecipientTable::Groups);
    layout->addWidget(directoryView_, 1);
    layout->addLayout(AddButtons(*page, commands_, {Use, AddToPhoneBook}, {DirectorySetup}));

    connect(directorySearch_, &QLineEdit::returnPressed, this, &RecipientsWindow::searchDirectory);
    connect(directoryView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecipientsWindow::updateActions);
    connect(directoryView_, &QAbstractItemView::activated, commands_[Use], &QAction::trigger);
    return page;
}

bool RecipientsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QApplication::sendEvent(view_, event);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

const Recipient* RecipientsWindow::selected() const {
    const bool directory = pages_->currentIndex() == DirectoryPage;
    const QTableView& view = directory ? *directoryView_ : *view_;
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    if (rows.isEmpty()) return nullptr;
    return (directory ? directoryTable_ : table_)->entry(rows.front().row());
}

// One change of the phone book at a time; reading and using go on meanwhile.
void RecipientsWindow::updateActions() {
    const bool onBook = pages_->currentIndex() == PhoneBookPage;
    const bool chosen = selected() != nullptr;
    const bool idle = !job_;
    commands_[Use]->setEnabled(chosen);
    commands_[Add]->setEnabled(idle);
    commands_[Edit]->setEnabled(idle && onBook && chosen);
    commands_[Delete]->setEnabled(idle && onBook && chosen);
    commands_[AddFromSheet]->setEnabled(idle);
    commands_[Import]->setEnabled(idle);
    commands_[Export]->setEnabled(idle);
    commands_[AddToPhoneBook]->setEnabled(idle && !onBook && chosen);
}

void RecipientsWindow::select(QTableView& view, int row) {
    if (row < 0)
        view.clearSelection();
    else
        view.selectRow(row);
}

void RecipientsWindow::refresh() {
    const Recipient* before = table_->entry(view_->currentIndex().row());
    const qint64 kept = before ? before->id : 0;
    std::vector<Recipient> found;
    QString problem = book_->problem();
    try {
        const QString text = search_->text();
        if (groups_->currentIndex() <= 0) {
            found = book_->search(text, kListed);
        } else {
            std::vector<Recipient> members = book_->inGroup(groups_->currentText());
            if (text.trimmed().isEmpty()) {
                found = std::move(members);
            } else {
                std::set<qint64> ids;
                for (const Recipient& member : members) ids.insert(member.id);
                for (Recipient& entry : book_->search(text, 0))
                    if (ids.contains(entry.id)) found.push_back(std::move(entry));
            }
            if (found.size() > size_t(kListed)) found.resize(kListed);
        }
    } catch (const Failure& failure) {
        problem = QString::fromStdString(failure.what());
    }
    if (problem_->text() != problem) problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    table_->setEntries(std::move(found));
    // The entry chosen stays chosen while it is found; else the first found is, so that Enter
    // uses the best match.
    const int row = table_->rowOf(kept);
    select(*view_, row >= 0 ? row : table_->rowCount() > 0 ? 0 : -1);
    updateActions();
}

void RecipientsWindow::refreshGroups() {
    const QString chosen = groups_->currentIndex() > 0 ? groups_->currentText() : QString();
    QStringList names;
    try {
        names = book_->groups();
    } catch (const Failure&) {
        // refresh() tells what is wrong with the phone book.
    }
    const QSignalBlocker quiet(groups_);
    groups_->clear();
    groups_->addItem(tr("All"));
    groups_->addItems(names);
    const int index = chosen.isEmpty() ? -1 : names.indexOf(chosen);
    groups_->setCurrentIndex(index >= 0 ? index + 1 : 0);
}

void RecipientsWindow::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous() && pos().isNull()) centred_ = CentreOnScreen(*this);
    QWidget::showEvent(event);
    if (!event->spontaneous())
        (pages_->currentIndex() == DirectoryPage ? directorySearch_ : search_)
            ->setFocus(Qt::OtherFocusReason);
}

void RecipientsWindow::tell(const QString& text) {
    chrome_.statusBar->showMessage(text, kRecipientsStatusTime);
}

void RecipientsWindow::use() {
    const Recipient* entry = selected();
    if (!entry) return;
    if (!Sheet().fill) {
        tell(tr("There is no cover sheet to put %1 on.").arg(Called(*entry)));
        return;
    }
    const Recipient chosen = *entry;
    Sheet().fill(chosen);
    tell(tr("The cover sheet is for %1 now.").arg(Called(chosen)));
}

void RecipientsWindow::change(const QString& what, std::function<Outcome(PhoneBook&)> work) {
    auto outcome = std::make_shared<Outcome>();
    job_ = worker_.post(
        this, [book = book_, work = std::move(work), outcome] { *outcome = work(*book); },
        [this, what, outcome](std::exception_ptr failure) { changed(what, *outcome, failure); });
    updateActions();
}

void RecipientsWindow::changed(const QString& what, const Outcome& outcome,
                               std::exception_ptr failure) {
    job_.clear();
    updateActions();
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const JobGivenUp&) {
            return;
        } catch (...) {
        }
        tell(tr("%1: not done").arg(what));
        ShowMessage({.title = {}, .text = DescribeFailure(failure), .icon = MessageIcon::Warning});
        return;
    }
    tell(outcome.said);
    refreshGroups();
    refresh();
    if (outcome.select == 0) return;
    if (table_->rowOf(outcome.select) < 0) {
        // Not among those listed: the whole phone book is, then.
        const QSignalBlocker quiet(search_);
        search_->clear();
        groups_->setCurrentIndex(0);
        refresh();
    }
    if (const int row = table_->rowOf(outcome.select); row >= 0) {
        select(*view_, row);
        view_->scrollTo(table_->index(row, 0));
    }
}

void RecipientsWindow::addEntry(const Recipient& start, const QString& title) {
    if (job_) return;
    std::optional<Recipient> typed = editDialog_(this, title, start);
    if (!typed) return;
    typed->id = 0;
    if (typed->name.isEmpty() && typed->company.isEmpty() && typed->fax.isEmpty()) {
        tell(tr("Nothing was added: an entry needs a name, a company or a fax number."));
        return;
    }
    change(tr("Add"), [entry = *typed](PhoneBook& book) {
        return Outcome{tr("%1 was added to the phone book.").arg(Called(entry)), book.add(entry)};
    });
}

void RecipientsWindow::edit() {
    const Recipient* entry = selected();
    if (!entry || job_ || pages_->currentIndex() != PhoneBookPage) return;
    std::optional<Recipient> typed = editDialog_(this, tr("Edit Recipient"), *entry);
    if (!typed) return;
    typed->id = entry->id;
    change(tr("Edit"), [entry = *typed](PhoneBook& book) {
        if (!book.update(entry))
            throw Failure(tr("%1 is no longer in the phone book: another Velmora removed it.")
                              .arg(Called(entry)));
        return Outcome{tr("%1 was changed.").arg(Called(entry)), entry.id};
    });
}

void RecipientsWindow::remove() {
    const Recipient* entry = selected();
    if (!entry || job_ || pages_->currentIndex() != PhoneBookPage) return;
    const Recipient chosen = *entry;
    if (ShowMessage({.title = {},
                     .text = tr("Delete %1 from the phone book?").arg(Called(chosen)),
                     .icon = MessageIcon::Warning,
                     .buttons = MessageButtons::YesNo}) != MessageAnswer::Yes)
        return;
    change(tr("Delete"), [chosen](PhoneBook& book) {
        book.remove(chosen.id);
        return Outcome{tr("%1 was deleted from the phone book.").arg(Called(chosen))};
    });
}

void RecipientsWindow::addFromSheet() {
    if (!Sheet().current) {
        tell(tr("There is no cover sheet to take a recipient from."));
        return;
    }
    Recipient start = Sheet().current();
    start.id = 0;
    if (start.name.trimmed().isEmpty() && start.fax.trimmed().isEmpty()) {
        tell(tr("The cover sheet names no recipient yet."));
        return;
    }
    addEntry(start, tr("Add from Sheet"));
}

void RecipientsWindow::importFile() {
    if (job_) return;
    const QString file =
        openDialog_(this, tr("Import Recipients"),
                    tr("vCard Files (*.vcf *.vcard);;HylaFAX Fax Database (.faxdb *.faxdb);;"
                       "All Files (*)"));
    if (file.isEmpty()) return;
    change(tr("Import"),
           [file](PhoneBook& book) { return Outcome{ImportRecipients(book, file).summary}; });
}

void RecipientsWindow::exportFile() {
    if (job_) return;
    // The entries the search or the group narrows the list to; without either, all of them.
    std::vector<Recipient> entries;
    try {
        entries = !search_->text().trimmed().isEmpty() ? table_->entries()
                  : groups_->currentIndex() > 0        ? book_->inGroup(groups_->currentText())
                                                       : book_->all();
    } catch (const Failure& failure) {
        ShowMessage({.title = {},
                     .text = QString::fromStdString(failure.what()),
                     .icon = MessageIcon::Warning});
        return;
    }
    if (entries.empty()) {
        tell(tr("There is nothing to export."));
        return;
    }
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
    const QString v3 = tr("vCard 3.0 (*.vcf)");
    const QString v4 = tr("vCard 4.0 (*.vcf)");
    const SaveDialogChoice choice =
        saveDialog_(this, {.fileName = QDir(documents).filePath(tr("Recipients.vcf")),
                           .title = tr("Export Recipients"),
                           .filter = v3 + QStringLiteral(";;") + v4,
                           .selectedFilter = v3,
                           .folder = documents});
    if (choice.fileName.isEmpty()) return;
    QString target = choice.fileName;
    if (QFileInfo(target).suffix().compare(QLatin1String("vcf"), Qt::CaseInsensitive) != 0)
        target += QStringLiteral(".vcf");
    if (QFileInfo::exists(target) &&
        ShowMessage({.title = {},
                     .text = tr("%1 already exists.\nDo you want to replace it?").arg(target),
                     .icon = MessageIcon::Warning,
                     .buttons = MessageButtons::YesNo}) != MessageAnswer::Yes)
        return;
    const VCardVersion version = choice.filter == v4 ? VCardVersion::v4 : VCardVersion::v3;
    change(tr("Export"), [entries = std::move(entries), target, version](PhoneBook&) {
        ExportRecipients(entries, target, version);
        return Outcome{tr("%n entries exported to %1.", nullptr, int(entries.size()))
                           .arg(QDir::toNativeSeparators(target))};
    });
}

void RecipientsWindow::addFound() {
    const Recipient* found = selected();
    if (!found || pages_->currentIndex() != DirectoryPage) return;
    addEntry(*found, tr("Add to Phone Book"));
}

void RecipientsWindow::setUpDirectory() {
    if (!EditDirectorySettings(this)) return;
    directoryTable_->setEntries({});
    showDirectoryState();
    updateActions();
}

void RecipientsWindow::showDirectoryState() {
    const DirectorySettings settings = DirectorySettings::load();
    directorySearch_->setEnabled(settings.configured());
    directoryState_->setText(
        settings.configured()
            ? tr("Type a name or a company and press Enter to search %1.").arg(settings.uri)
            : tr("No company directory is set up. File > Directory Settings\u2026 says where it "
                 "is."));
}

void RecipientsWindow::searchDirectory() {
    const DirectorySettings settings = DirectorySettings::load();
    if (!settings.configured()) {
        showDirectoryState();
        return;
    }
    if (directoryJob_) directoryJob_->cancel();
    auto found = std::make_shared<std::vector<DirectoryEntry>>();
    const QString text = directorySearch_->text().trimmed();
    directoryState_->setText(tr("Searching %1\u2026").arg(settings.uri));
    // Only the last search's end is shown: one given up for it may still end with what it found.
    const int search = ++directorySearches_;
    directoryJob_ = directoryWorker_.post(
        this,
        [settings, text, found] { *found = SearchDirectory(settings, text, kDirectoryLimit); },
        [this, settings, found, search](std::exception_ptr failure) {
            if (search != directorySearches_) return;
            directoryJob_.clear();
            directoryDone(settings, found, failure);
        });
}

void RecipientsWindow::directoryDone(const DirectorySettings& settings,
                                     const std::shared_ptr<std::vector<DirectoryEntry>>& found,
                                     std::exception_ptr failure) {
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const JobGivenUp&) {
            return;
        } catch (const DirectoryPasswordNeeded& needed) {
            const std::optional<QString> password = passwordDialog_(
                this, tr("%1 It is kept until Velmora ends, never written down.\n\nPassword:")
                          .arg(QString::fromStdString(needed.what())));
            if (!password) {
                directoryState_->setText(tr("Not searched: no password was given."));
                return;
            }
            DirectoryPasswords::remember(needed.settings(), *password);
            searchDirectory();
            return;
        } catch (...) {
        }
        directoryState_->setText(DescribeFailure(failure));
        return;
    }
    std::vector<Recipient> entries;
    for (const DirectoryEntry& entry : *found) entries.push_back(AsRecipient(entry));
    const int count = int(entries.size());
    directoryTable_->setEntries(std::move(entries));
    select(*directoryView_, count > 0 ? 0 : -1);
    directoryState_->setText(
        count == 0 ? tr("Nobody found in %1.").arg(settings.uri)
        : count >= kDirectoryLimit
            ? tr("The first %1 found in %2: type more to narrow it.").arg(count).arg(settings.uri)
            : tr("%n found in %1.", nullptr, count).arg(settings.uri));
    updateActions();
}

}  // namespace velmora
