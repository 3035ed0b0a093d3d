#pragma once

#include "fax/Packet.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace velmora {

// The documents attached behind the cover sheet for the rest of the program's run, shared by
// the editor and the preview, and the work of attaching more. A document is made ready (read,
// checked, its pages written as PDF; an office document converted by the office) on the office
// worker; the windows keep painting meanwhile, and every document that fails is told in one
// message when the work has ended.
class AttachedDocuments : public QObject {
    Q_OBJECT
public:
    // The desktop's dialog for choosing files to attach: the files chosen, none when
    // cancelled.
    using OpenDialog = std::function<QStringList(QWidget* parent, const QString& folder)>;

    AttachedDocuments();
    ~AttachedDocuments() override;

    const Packet& packet() const { return packet_; }
    int count() const { return int(packet_.attachments().size()); }
    int attachedPages() const { return packet_.attachedPages(); }
    // Whether documents are being made ready now.
    bool attaching() const { return attaching_; }

    // "Attach Documents…": the desktop's file dialog, several files at once, then attach().
    void chooseAndAttach(QWidget* window);
    // Attaches `files` behind those attached already, in their order.
    void attach(const QStringList& files);
    void remove(int index);
    void move(int from, int to);

    // Replaces the file dialog, so that tests can choose files or cancel.
    void setOpenDialog(OpenDialog dialog) { openDialog_ = std::move(dialog); }

    // What the files a dialog or a drop may attach are called, for the dialog's filter.
    static QString FileFilter();

signals:
    // The list changed: a document attached, removed or moved.
    void changed();
    void attachingChanged(bool attaching);

private:
    void setAttaching(bool attaching);

    Packet packet_;
    OpenDialog openDialog_;
    QString lastFolder_;  // where the dialog opens next
    bool attaching_ = false;
};

// "3 pages", "1 page".
QString PagesText(int pages);

}  // namespace velmora
