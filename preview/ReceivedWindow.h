#pragma once

#include "PagePrinter.h"
#include "SaveDialog.h"
#include "fax/server/ReceivedFaxes.h"
#include "shell/ui/WindowChrome.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QLabel;
class QTableView;

namespace velmora {

class AttachedDocuments;
class Job;

// File > Received Faxes…: opens the program's received faxes window (ReceivedFaxes::shared()),
// or raises it. `documents`: the packet a forwarded fax is attached to; `from`: the window the
// user asked from, brought forward again after a fax is forwarded to write its cover.
void ShowReceivedFaxes(QWidget* from, AttachedDocuments& documents);

// The received faxes as a table, newest first, one row a fax; an unread one in bold.
class ReceivedTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { From, Pages, Received, Whole, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;
    void setFaxes(const std::vector<ReceivedFax>& faxes);
    const ReceivedFax* fax(int row) const;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<ReceivedFax> faxes_;
};

// The received faxes window: the faxes the server received, refreshed while it is open, with
// the commands on one: open it page by page, save it as PDF or TIFF, print it, forward it
// behind a new cover, delete it from the server. Each command's waiting (the fax fetched, a PDF
// made, the printer fed) is a job on the faxes' worker whose handle the window holds.
class ReceivedWindow : public QWidget {
    Q_OBJECT
public:
    enum Command { Open, Save, Print, Forward, Delete, Refresh, Close, CommandCount };

    ReceivedWindow(ReceivedFaxes& faxes, AttachedDocuments* documents, QWidget* parent = nullptr);
    ~ReceivedWindow() override;

    static ReceivedWindow* open();

    QAction* command(Command which) const { return commands_[which]; }
    const ReceivedTable& table() const { return *table_; }
    QTableView& view() const { return *view_; }
    const ReceivedFax* selected() const;
    Job* job() const { return job_; }

    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }
    // What forwarding brings forward: the window that has the cover (the editor, unless told).
    void setCoverWindow(QWidget* window) { coverWindow_ = window; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createCommands();
    void updateActions();
    void faxesChanged();
    // Fetches the selected fax, then runs `then` (on the worker) with its local file; `done`
    // tells the status bar on success.
    void withFax(const QString& what, std::function<void(const QString& tiff)> then,
                 std::function<void(const ReceivedFax& fax, const QString& tiff)> after);
    void openFax();
    void save();
    void print();
    void forward();
    void remove();
    void ended(const QString& what, std::exception_ptr failure, const QString& done);

    QPointer<ReceivedFaxes> faxes_;
    QPointer<AttachedDocuments> documents_;
    QPointer<QWidget> coverWindow_;
    WindowChrome chrome_;
    ReceivedTable* table_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* problem_ = nullptr;
    QAction* commands_[CommandCount] = {};
    QPointer<Job> job_;
    SaveDialog saveDialog_ = RunSaveDialog;
    PrintDialog printDialog_ = RunPrintDialog;
    bool centred_ = false;
};

}  // namespace velmora
