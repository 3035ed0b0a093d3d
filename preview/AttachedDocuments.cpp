#include "AttachedDocuments.h"

#include "coversheet/OfficeJobs.h"
#include "shell/FileProcedures.h"
#include "shell/ui/MessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <memory>
#include <vector>

namespace velmora {
namespace {

// The documents of one attach command as the worker made them ready. Those never handed to
// the list (the program ended first) go with the batch.
struct Batch {
    QStringList files;
    std::vector<Attachment> ready;
    QStringList failures;

    Batch() = default;
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch() {
        for (const Attachment& attachment : ready) RemoveFileQuietly(attachment.pdf);
    }
};

QStringList RunOpenDialog(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileNames(parent, QStringLiteral("Attach Documents"), folder,
                                         AttachedDocuments::FileFilter());
}

}  // namespace

QString PagesText(int pages) {
    return pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages);
}

AttachedDocuments::AttachedDocuments() : openDialog_(RunOpenDialog) {}

AttachedDocuments::~AttachedDocuments() = default;

QString AttachedDocuments::FileFilter() {
    return QStringLiteral(
        "Documents and pictures (*.pdf *.png *.jpg *.jpeg *.tif *.tiff *.doc *.docx *.odt *.rtf "
        "*.txt);;PDF files (*.pdf);;Pictures (*.png *.jpg *.jpeg *.tif *.tiff);;Office documents "
        "(*.doc *.docx *.odt *.rtf *.txt);;All files (*)");
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
    if (files.isEmpty()) return;
    auto batch = std::make_shared<Batch>();
    batch->files = files;
    setAttaching(true);
    OfficeJobs::shared().post(
        this,
        [batch] {
            for (const QString& file : batch->files) {
                try {
                    batch->ready.push_back(PrepareAttachment(file, OfficeDocumentToPdf));
                } catch (const std::exception& failure) {
                    batch->failures << QString::fromUtf8(failure.what());
                }
            }
        },
        [this, batch](std::exception_ptr) {
            for (Attachment& attachment : batch->ready) packet_.add(std::move(attachment));
            const bool added = !batch->ready.empty();
            batch->ready.clear();
            setAttaching(false);
            if (added) emit changed();
            if (!batch->failures.isEmpty())
                ShowMessage({.title = {},
                             .text = (batch->failures.size() == 1
                                          ? QStringLiteral("A document could not be attached.")
                                          : QStringLiteral("%1 documents could not be attached.")
                                                .arg(batch->failures.size())) +
                                     QStringLiteral("\n\n") +
                                     batch->failures.join(QStringLiteral("\n")),
                             .icon = MessageIcon::Warning});
        });
}

void AttachedDocuments::remove(int index) {
    if (index < 0 || index >= count()) return;
    packet_.remove(index);
    emit changed();
}

void AttachedDocuments::move(int from, int to) {
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to) return;
    packet_.move(from, to);
    emit changed();
}

void AttachedDocuments::setAttaching(bool attaching) {
    if (attaching_ == attaching) return;
    attaching_ = attaching;
    emit attachingChanged(attaching);
}

}  // namespace velmora
