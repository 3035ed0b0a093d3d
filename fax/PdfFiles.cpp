#include "PdfFiles.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <QFile>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <vector>

namespace velmora {
namespace {

// What the user is told of a PDF qpdf cannot read: the file, and qpdf's words without the
// file's name again.
[[noreturn]] void Unreadable(const QString& path, const std::exception& error) {
    if (const auto* pdfError = dynamic_cast<const QPDFExc*>(&error)) {
        if (pdfError->getErrorCode() == qpdf_e_password)
            throw Failure(QStringLiteral("'%1' is protected by a password.").arg(path));
        throw Failure(QStringLiteral("'%1' is not a PDF file that can be read: %2")
                          .arg(path, QString::fromStdString(pdfError->getMessageDetail())));
    }
    throw Failure(
        QStringLiteral("'%1' is not a PDF file that can be read: %2").arg(path, error.what()));
}

// Opens `path` with qpdf; its warnings about repaired damage are not the user's business.
std::unique_ptr<QPDF> OpenPdf(const QString& path) {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        pdf->processFile(QFile::encodeName(path).constData());
    } catch (const std::exception& error) {
        Unreadable(path, error);
    }
    return pdf;
}

// Asked by qpdf as it writes: throws when the job was given up.
class StopWhenGivenUp : public QPDFWriter::ProgressReporter {
public:
    void reportProgress(int) override { ThrowIfJobCancelled(); }
};

}  // namespace

int PdfPageCount(const QString& path) {
    const auto pdf = OpenPdf(path);
    try {
        return int(QPDFPageDocumentHelper(*pdf).getAllPages().size());
    } catch (const std::exception& error) {
        throw Failure(
            QStringLiteral("The pages of '%1' cannot be read: %2").arg(path, error.what()));
    }
}

int JoinPdfs(const QStringList& inputs, const QString& target) {
    // Every input stays open until the output is written: its pages are copied from it then.
    std::vector<std::unique_ptr<QPDF>> opened;
    QPDF joined;
    joined.emptyPDF();
    QPDFPageDocumentHelper pages(joined);
    int count = 0;
    for (const QString& input : inputs) {
        ThrowIfJobCancelled();
        opened.push_back(OpenPdf(input));
        try {
            for (auto& page : QPDFPageDocumentHelper(*opened.back()).getAllPages()) {
                pages.addPage(page, false);
                ++count;
            }
        } catch (const std::exception& error) {
            Unreadable(input, error);
        }
    }
    AtomicFile file(target);
    try {
        QPDFWriter writer(joined, QFile::encodeName(file.path()).constData());
        // A job given up stops the write as it goes; the new file goes with it.
        writer.registerProgressReporter(std::make_shared<StopWhenGivenUp>());
        writer.write();
    } catch (const JobGivenUp&) {
        throw;
    } catch (const std::exception& error) {
        throw Failure(QStringLiteral("Cannot write '%1': %2").arg(target, error.what()));
    }
    file.commit();
    return count;
}

}  // namespace velmora
