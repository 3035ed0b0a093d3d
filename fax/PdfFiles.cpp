#include "PdfFiles.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <QFile>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <string>
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

// An action a page may keep: one that goes to a page of the document or a web address, and
// nothing after it.
bool HarmlessAction(QPDFObjectHandle action) {
    if (!action.isDictionary()) return false;
    QPDFObjectHandle kind = action.getKey("/S");
    if (!kind.isName() || (kind.getName() != "/GoTo" && kind.getName() != "/URI")) return false;
    action.removeKey("/Next");
    return true;
}

// Leaves out of a copied page what it could do of itself (see JoinPdfs).
void StripActiveContent(QPDFPageObjectHelper page) {
    QPDFObjectHandle object = page.getObjectHandle();
    object.removeKey("/AA");
    QPDFObjectHandle annotations = object.getKey("/Annots");
    if (!annotations.isArray()) return;
    static const std::set<std::string> active = {"/FileAttachment", "/Sound",     "/Movie",
                                                 "/Screen",         "/RichMedia", "/3D"};
    for (int i = annotations.getArrayNItems() - 1; i >= 0; --i) {
        QPDFObjectHandle annotation = annotations.getArrayItem(i);
        if (!annotation.isDictionary()) continue;
        QPDFObjectHandle subtype = annotation.getKey("/Subtype");
        if (subtype.isName() && active.count(subtype.getName())) {
            annotations.eraseItem(i);
            continue;
        }
        annotation.removeKey("/AA");
        if (annotation.hasKey("/A") && !HarmlessAction(annotation.getKey("/A")))
            annotation.removeKey("/A");
    }
}

// Writes `pdf` to `target` whole (AtomicFile), stopping when the job is given up.
void WritePdf(QPDF& pdf, const QString& target) {
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages())
        StripActiveContent(page);
    AtomicFile file(target);
    try {
        QPDFWriter writer(pdf, QFile::encodeName(file.path()).constData());
        // A job given up stops the write as it goes; the new file goes with it.
        writer.registerProgressReporter(std::make_shared<StopWhenGivenUp>());
        writer.write();
    } catch (const JobGivenUp&) {
        throw;
    } catch (const std::exception& error) {
        throw Failure(QStringLiteral("Cannot write '%1': %2").arg(target, error.what()));
    }
    file.commit();
}

// Notes the size of every image inline in a content stream: the dictionary's keys and values
// come between the operators BI and ID.
class InlineImages : public QPDFObjectHandle::ParserCallbacks {
public:
    explicit InlineImages(std::function<void(QPDFObjectHandle, QPDFObjectHandle)> note)
        : note_(std::move(note)) {}

    void handleObject(QPDFObjectHandle object) override {
        if (object.isOperator()) {
            const std::string op = object.getOperatorValue();
            if (op == "BI") {
                inImage_ = true;
                key_ = QPDFObjectHandle::newNull();
                width_ = height_ = QPDFObjectHandle::newNull();
            } else if (op == "ID" && inImage_) {
                inImage_ = false;
                note_(width_, height_);
            }
            return;
        }
        if (!inImage_) return;
        if (key_.isNull()) {
            key_ = object;
            return;
        }
        if (key_.isNameAndEquals("/W") || key_.isNameAndEquals("/Width")) width_ = object;
        if (key_.isNameAndEquals("/H") || key_.isNameAndEquals("/Height")) height_ = object;
        key_ = QPDFObjectHandle::newNull();
    }
    void handleEOF() override { inImage_ = false; }

private:
    std::function<void(QPDFObjectHandle, QPDFObjectHandle)> note_;
    bool inImage_ = false;
    QPDFObjectHandle key_;
    QPDFObjectHandle width_;
    QPDFObjectHandle height_;
};

// Whether a content stream may hold an image inline: its bytes say "BI" somewhere. Reading them
// as they are decoded, keeping none, takes a fraction of the time (and none of the memory)
// parsing them does, and few streams hold one.
class SaysBI : public Pipeline {
public:
    SaysBI() : Pipeline("inline image", nullptr) {}
    void write(unsigned char const* data, size_t length) override {
        for (size_t i = 0; i < length && !found_; ++i) {
            found_ = last_ == 'B' && data[i] == 'I';
            last_ = data[i];
        }
    }
    void finish() override {}
    bool found() const { return found_; }

private:
    unsigned char last_ = 0;
    bool found_ = false;
};

bool MayHoldInlineImage(QPDFObjectHandle stream) {
    SaysBI bytes;
    try {
        stream.pipeStreamData(&bytes, 0, qpdf_dl_generalized, true);
    } catch (const std::exception&) {
        return false;  // what cannot be decoded holds nothing Poppler draws either
    }
    return bytes.found();
}

}  // namespace

QSize LargestPdfImage(const QString& path) {
    const auto pdf = OpenPdf(path);
    QSize largest;
    qint64 largestPixels = 0;
    const auto note = [&](QPDFObjectHandle width, QPDFObjectHandle height) {
        if (!width.isInteger() || !height.isInteger()) return;
        constexpr long long kSide = std::numeric_limits<int>::max();
        const long long across = std::clamp(width.getIntValue(), 0LL, kSide);
        const long long down = std::clamp(height.getIntValue(), 0LL, kSide);
        if (across * down <= largestPixels) return;
        largestPixels = across * down;
        largest = QSize(int(across), int(down));
    };
    InlineImages inlineImages(note);
    // A content stream that cannot be read holds nothing Poppler draws either.
    const auto parse = [&](const auto& contents) {
        try {
            contents();
        } catch (const std::exception&) {
        }
        ThrowIfJobCancelled();
    };
    try {
        for (QPDFObjectHandle& object : pdf->getAllObjects()) {
            ThrowIfJobCancelled();
            if (!object.isStream()) continue;
            QPDFObjectHandle dictionary = object.getDict();
            if (dictionary.getKey("/Subtype").isNameAndEquals("/Image"))
                note(dictionary.getKey("/Width"), dictionary.getKey("/Height"));
            else if ((dictionary.getKey("/Subtype").isNameAndEquals("/Form") ||
                      dictionary.hasKey("/PatternType")) &&
                     MayHoldInlineImage(object))
                parse([&] { object.parseAsContents(&inlineImages); });
        }
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*pdf).getAllPages()) {
            const std::vector<QPDFObjectHandle> streams = page.getPageContents();
            if (std::any_of(streams.begin(), streams.end(), MayHoldInlineImage))
                parse([&] { page.parseContents(&inlineImages); });
        }
    } catch (const JobGivenUp&) {
        throw;
    } catch (const std::exception& error) {
        throw Failure(
            QStringLiteral("The pages of '%1' cannot be read: %2").arg(path, error.what()));
    }
    return largest;
}

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
                ThrowIfJobCancelled();
                pages.addPage(page, false);
                ++count;
            }
        } catch (const std::exception& error) {
            Unreadable(input, error);
        }
    }
    WritePdf(joined, target);
    return count;
}

}  // namespace velmora
