#include "SaveCommand.h"

#include "AttachedDocuments.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/PageSnapshot.h"
#include "fax/FaxPacket.h"
#include "shell/FileProcedures.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/ui/MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace velmora {
namespace {

// The save dialog's filters in Qt's form, one per format.
QStringList saveFilters() {
    return QtNameFilter(SaveFormatFilter()).split(QStringLiteral(";;"));
}

// Where the save dialog opens when nothing was saved yet in this run: the user's documents
// folder, or the home folder where there is none (never the working folder).
QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// Whether `name` is one of the run's own files in the temporary folder, which the program
// removes (the document shown, its page picture, the template, the packet's PDFs): a save
// there would be lost.
bool IsWorkingFile(const QString& name, const FaxPacket& packet) {
    const QString chosen = QFileInfo(name).canonicalFilePath();
    if (chosen.isEmpty()) return false;  // not there yet
    QStringList working = packet.documents().pdfs(packet.page(0).pdf);
    working << packet.coverDocument() << SnapshotPath() << GenerationRun::TemplatePath();
    for (const QString& file : working)
        if (!file.isEmpty() && QFileInfo(file).canonicalFilePath() == chosen) return true;
    return false;
}

}  // namespace

std::optional<SaveOrder> SaveCommand::ask(QWidget* window, const FaxPacket& packet,
                                          DocumentFormat filter, FaxResolution resolution) {
    Procedure proc(location::Form2_PushButton6_Click);
    SaveDialogRequest request;
    SaveDialogChoice chosen;
    QString name;
    auto answer = MessageAnswer::No;
    proc.step(106, [&] { request.fileName.clear(); });
    proc.step(108, [&] { request.title = QStringLiteral("Save File"); });
    proc.step(110, [&] {
        request.filter = QtNameFilter(SaveFormatFilter());
        request.selectedFilter = saveFilters().value(int(filter));
        request.folder = lastFolder_.isEmpty() ? documentsFolder() : lastFolder_;
    });
    proc.step(112, [&] { chosen = dialog_(window, request); });
    // A name without an extension of a format gets the chosen filter's.
    DocumentFormat chosenFilter = filter;
    proc.step(114, [&] {
        const qsizetype selected = saveFilters().indexOf(chosen.filter);
        if (selected >= 0) chosenFilter = DocumentFormat(selected);
        name = NameWithFormatExtension(chosen.fileName, chosenFilter);
    });
    if (!proc.test(
            116, [&] { return !name.isEmpty(); }, false))
        return {};
    if (IsWorkingFile(name, packet)) {
        ShowMessage(
            {.title = {},
             .text = QStringLiteral("%1 is the document this window shows, which is removed "
                                    "when you go back or close. Please choose another name.")
                         .arg(name),
             .icon = MessageIcon::Warning});
        return {};
    }
    if (proc.test(
            118, [&] { return FileExists(name); }, true)) {
        proc.step(120, [&] {
            answer = ShowMessage({.title = {},
                                  .text = QStringLiteral("Are you sure you wish to overwrite ") +
                                          name + QStringLiteral(" ?"),
                                  .buttons = MessageButtons::YesNo});
        });
    } else {
        proc.step(126, [&] { answer = MessageAnswer::Yes; });
    }
    if (!proc.test(
            128, [&] { return answer == MessageAnswer::Yes; }, false))
        return {};
    // The format the name's extension names, else the selected filter's.
    SaveOrder order{.target = name, .format = filter, .resolution = resolution};
    if (!proc.step(130, [&] { order.format = FormatForName(name, chosenFilter); })) return {};
    // A Word document holds the cover alone: what it would leave out is said before it is
    // written, and the PDF named as the way to keep it.
    if (packet.count() > 0 && !SaveHoldsPacket(order.format, packet) &&
        ShowMessage(
            {.title = {},
             .text = QCoreApplication::translate(
                         "SaveCommand",
                         "A Word document holds the cover sheet alone: the %1 attached "
                         "behind it (%2) would not be in %3. Save the cover sheet "
                         "alone?\n\nTo keep the whole packet, save it as PDF.")
                         .arg(packet.count() == 1
                                  ? QCoreApplication::translate("SaveCommand", "document")
                                  : QCoreApplication::translate("SaveCommand", "%1 documents")
                                        .arg(packet.count()),
                              PagesText(packet.attachedPages()), QFileInfo(name).fileName()),
             .icon = MessageIcon::Warning,
             .buttons = MessageButtons::YesNo}) != MessageAnswer::Yes)
        return {};
    return order;
}

void SaveCommand::savedIn(const QString& target) {
    lastFolder_ = QFileInfo(target).absolutePath();
}

}  // namespace velmora
