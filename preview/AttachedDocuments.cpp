#include "AttachedDocuments.h"

#include "DocumentsDialog.h"
#include "ScanDialog.h"
#include "shell/ui/MessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace velmora {
namespace {

QStringList RunOpenDialog(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileNames(parent, QStringLiteral("Attach Documents"), folder,
                                         AttachedDocuments::FileFilter());
}

void TellFailures(const QStringList& failures) {
    ShowMessage(
        {.title = {},
         .text =
             (failures.size() == 1
                  ? QStringLiteral("A document could not be attached.")
                  : QStringLiteral("%1 documents could not be attached.").arg(failures.size())) +
             QStringLiteral("\n\n") + failures.join(QStringLiteral("\n")),
         .icon = MessageIcon::Warning});
}

}  // namespace

QString PagesText(int pages) {
    return pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages);
}

AttachedDocuments::AttachedDocuments(FaxPacket& packet)
    : packet_(packet), openDialog_(RunOpenDialog) {
    connect(&packet_, &FaxPacket::attachFailed, this, &TellFailures);
}

AttachedDocuments::~AttachedDocuments() = default;

QString AttachedDocuments::FileFilter() {
    return QStringLiteral(
        "Documents and pictures (*.pdf *.png *.jpg *.jpeg *.tif *.tiff *.doc *.docx *.odt *.rtf "
        "*.txt);;PDF files (*.pdf);;Pictures (*.png *.jpg *.jpeg *.tif *.tiff);;Office documents "
        "(*.doc *.docx *.odt *.rtf *.txt);;All files (*)");
}

QList<WindowCommandRow> AttachedDocuments::commandRows(QWidget& window, QAction** attach,
                                                       QAction** list, QAction** scan) {
    const auto ctrlShift = [](auto key) { return QKeySequence(Qt::CTRL | Qt::SHIFT | key); };
    return {{attach,
             QStringLiteral("Attach Documents\u2026"),
             {ctrlShift(Qt::Key_A)},
             [this, &window] { chooseAndAttach(&window); }},
            {list,
             QStringLiteral("Documents\u2026"),
             {ctrlShift(Qt::Key_D)},
             [this, &window] {
                 DocumentsDialog dialog(*this, &window);
                 dialog.exec();
             }},
            {scan, tr("Scan Pages\u2026"), {ctrlShift(Qt::Key_N)}, [this, &window] {
                 scanPages(&window);
             }}};
}

void AttachedDocuments::scanPages(QWidget* window) {
    ScanDialog dialog(packet_, window);
    dialog.exec();
}

void AttachedDocuments::chooseAndAttach(QWidget* window) {
    if (lastFolder_.isEmpty()) {
        lastFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (lastFolder_.isEmpty() || !QFileInfo(lastFolder_).isDir())
            lastFolder_ = QDir::homePath();
    }
    const QStringList files = openDialog_(window, lastFolder_);
    if (files.isEmpty()) return;
    lastFolder_ = QFileInfo(files.front()).absolutePath();
    attach(files);
}

void AttachedDocuments::attach(const QStringList& files) {
    QStringList attached;
    for (const Attachment& attachment : packet_.documents().attachments())
        attached << QFileInfo(attachment.source).canonicalFilePath();
    QStringList taken;
    for (const QString& file : files) {
        const QString canonical = QFileInfo(file).canonicalFilePath();
        if (!canonical.isEmpty() && attached.contains(canonical) &&
            ShowMessage({.title = {},
                         .text = tr("\"%1\" is attached already. Attach it again?")
                                     .arg(QFileInfo(file).fileName()),
                         .buttons = MessageButtons::YesNo}) != MessageAnswer::Yes)
            continue;
        taken << file;
    }
    packet_.attach(taken);
}

}  // namespace velmora
