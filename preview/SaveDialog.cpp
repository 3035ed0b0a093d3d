#include "SaveDialog.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace velmora {

SaveDialogChoice RunSaveDialog(QWidget* parent, const SaveDialogRequest& request) {
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QString());
    if (!request.selectedFilter.isEmpty()) dialog.selectNameFilter(request.selectedFilter);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    return {dialog.selectedFiles().value(0), dialog.selectedNameFilter()};
}

QString QtNameFilter(const QString& pairedFilter) {
    const QStringList parts = pairedFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')'))
                        ? description
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

void CopyFileOver(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read '%1': %2").arg(source, in.errorString()));
    // A document is never empty: an empty file is one that was not saved completely.
    if (in.size() <= 0)
        throw Failure(QStringLiteral("Cannot copy '%1': the document is empty.").arg(source));

    AtomicFile out(target);
    constexpr qint64 kChunk = 64 * 1024;
    for (;;) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw Failure(QStringLiteral("Cannot read '%1': %2").arg(source, in.errorString()));
        if (chunk.isEmpty()) break;
        out.write(chunk);
    }
    out.commit();
}

}  // namespace velmora
