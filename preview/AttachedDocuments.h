#pragma once

#include "fax/FaxPacket.h"
#include "shell/ui/WindowCommand.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace velmora {

// The windows' side of the documents attached behind the cover (the packet holds them and
// makes them ready): the desktop's dialog for choosing them, which opens where it was last
// used, and the one message that tells which of a command's documents could not be attached.
// One for the program's run, shared by the editor and the preview.
class AttachedDocuments : public QObject {
    Q_OBJECT
public:
    // The desktop's dialog for choosing files to attach: the files chosen, none when
    // cancelled.
    using OpenDialog = std::function<QStringList(QWidget* parent, const QString& folder)>;

    explicit AttachedDocuments(FaxPacket& packet);
    ~AttachedDocuments() override;

    FaxPacket& packet() const { return packet_; }

    // "Attach Documents…": the desktop's file dialog, several files at once, then attach().
    void chooseAndAttach(QWidget* window);
    // Has the packet attach `files` (chosen, or dropped on a window); a file attached already
    // is attached again only when the user says so.
    void attach(const QStringList& files);

    // The commands of `window` for the documents, as rows of its command table: "Attach
    // Documents…" (Ctrl+Shift+A), "Documents…" (Ctrl+Shift+D, their list) and "Scan Pages…"
    // (Ctrl+Shift+N), kept in `attach`, `list` and `scan`.
    QList<WindowCommandRow> commandRows(QWidget& window, QAction** attach, QAction** list,
                                        QAction** scan);

    // "Scan Pages…": the scan dialog over `window`; what it scans joins the packet.
    void scanPages(QWidget* window);

    // Replaces the file dialog, so that tests can choose files or cancel.
    void setOpenDialog(OpenDialog dialog) { openDialog_ = std::move(dialog); }

    // What the files a dialog or a drop may attach are called, for the dialog's filter.
    static QString FileFilter();

private:
    FaxPacket& packet_;
    OpenDialog openDialog_;
    QString lastFolder_;  // where the dialog opens next
};

// "3 pages", "1 page".
QString PagesText(int pages);

}  // namespace velmora
