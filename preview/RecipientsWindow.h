#pragma once

#include "SaveDialog.h"
#include "recipients/PhoneBook.h"
#include "recipients/Recipient.h"
#include "recipients/directory/Directory.h"
#include "shell/JobWorker.h"
#include "shell/ui/WindowChrome.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTableView;

namespace velmora {

class Job;
class RecipientTable;

// The cover sheet's recipient as the editor lends it to the recipients window: the window
// fills it and reads it without knowing the editor.
struct RecipientSheet {
    // Fills For, Fax number and Phone (on the styles that have it) with the entry's, on every
    // tab, as if typed.
    std::function<void(const Recipient& entry)> fill;
    // The recipient the sheet names now: name, fax and phone.
    std::function<Recipient()> current;
};

// The editor's sheet, given at its start (empty members: no sheet, as when it is gone).
void SetRecipientSheet(RecipientSheet sheet);

// File > Recipients…: opens the program's recipients window over the user's phone book, or
// raises it when it is open already. `from`: the window the user asked from.
void ShowRecipients(QWidget* from);

// The recipients window: the phone book searched as the user types, with a group to narrow it
// to; its entries added, changed, removed, imported and exported; the one chosen put on the
// cover sheet. A second page searches the company directory. Reads run on the window's thread
// (a search takes milliseconds); writes, imports and directory searches are jobs on workers of
// the window's own, whose handles it holds until their end.
class RecipientsWindow : public QWidget {
    Q_OBJECT
public:
    enum Command {
        Use,
        Add,
        Edit,
        Delete,
        AddFromSheet,
        Import,
        Export,
        AddToPhoneBook,
        DirectorySetup,
        Close,
        CommandCount
    };
    enum Page { PhoneBookPage, DirectoryPage };

    explicit RecipientsWindow(std::shared_ptr<PhoneBook> book, QWidget* parent = nullptr);
    ~RecipientsWindow() override;

    // The window ShowRecipients opened, while it is open.
    static RecipientsWindow* open();

    QAction* command(Command which) const { return commands_[which]; }
    QTabWidget& pages() const { return *pages_; }
    QLineEdit& searchField() const { return *search_; }
    QComboBox& groupFilter() const { return *groups_; }
    QTableView& view() const { return *view_; }
    const RecipientTable& table() const { return *table_; }
    QLineEdit& directoryField() const { return *directorySearch_; }
    QTableView& directoryView() const { return *directoryView_; }
    const RecipientTable& directoryTable() const { return *directoryTable_; }
    // The entry the commands act on: the selected row of the page shown, or null.
    const Recipient* selected() const;
    // The phone book's change or import under way, or null.
    Job* job() const { return job_; }
    // The directory search under way, or null.
    Job* directoryJob() const { return directoryJob_; }

    // Replace the dialogs, so that tests can type an entry, choose a file or a password, or
    // cancel.
    using EditDialog = std::function<std::optional<Recipient>(QWidget* parent, const QString& title,
                                                              const Recipient& start)>;
    using OpenDialog =
        std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;
    using PasswordDialog =
        std::function<std::optional<QString>(QWidget* parent, const QString& question)>;
    void setEditDialog(EditDialog dialog) { editDialog_ = std::move(dialog); }
    void setOpenDialog(OpenDialog dialog) { openDialog_ = std::move(dialog); }
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
    void setPasswordDialog(PasswordDialog dialog) { passwordDialog_ = std::move(dialog); }

    // Lists the phone book's entries for the search field's text and the group chosen again,
    // keeping the entry selected where it is still listed.
    void refresh();
    // Searches the company directory for the directory field's text.
    void searchDirectory();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a change of the phone book did: the status bar's words, and the entry to select.
    struct Outcome {
        QString said;
        qint64 select = 0;
    };

    void createCommands();
    QWidget* createPhoneBookPage();
    QWidget* createDirectoryPage();
    void updateActions();
    void refreshGroups();
    void showDirectoryState();
    void select(QTableView& view, int row);
    // Runs `work` on the phone book as a job; its outcome is told and shown when it ends.
    void change(const QString& what, std::function<Outcome(PhoneBook&)> work);
    void changed(const QString& what, const Outcome& outcome, std::exception_ptr failure);
    void directoryDone(const DirectorySettings& settings,
                       const std::shared_ptr<std::vector<DirectoryEntry>>& found,
                       std::exception_ptr failure);
    void tell(const QString& text);
    void use();
    void addEntry(const Recipient& start, const QString& title);
    void edit();
    void remove();
    void addFromSheet();
    void importFile();
    void exportFile();
    void addFound();
    void setUpDirectory();

    std::shared_ptr<PhoneBook> book_;
    WindowChrome chrome_;
    QTabWidget* pages_ = nullptr;
    QLabel* problem_ = nullptr;
    QLineEdit* search_ = nullptr;
    QComboBox* groups_ = nullptr;
    RecipientTable* table_ = nullptr;
    QTableView* view_ = nullptr;
    QLineEdit* directorySearch_ = nullptr;
    QLabel* directoryState_ = nullptr;
    RecipientTable* directoryTable_ = nullptr;
    QTableView* directoryView_ = nullptr;
    QAction* commands_[CommandCount] = {};
    QPointer<Job> job_;
    QPointer<Job> directoryJob_;
    EditDialog editDialog_;
    OpenDialog openDialog_;
    SaveDialog saveDialog_ = RunSaveDialog;
    PasswordDialog passwordDialog_;
    int directorySearches_ = 0;  // the searches begun, to know the last one's end
    bool centred_ = false;
    // Last, so that they end (giving up their jobs) before anything their jobs' ends touch.
    JobWorker worker_{QStringLiteral("Phone book")};
    JobWorker directoryWorker_{QStringLiteral("Company directory")};
};

}  // namespace velmora
