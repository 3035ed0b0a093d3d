#include "FaxTiff.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/Job.h"

#include <tiffio.h>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velmora {
namespace {

// The pages of a PDF drawn for the fax on helper threads (each with the PDF opened on its own:
// Poppler's documents are not shared between threads), a few ahead of the writer, and handed
// over in order.
class PagesAhead {
public:
    PagesAhead(const QString& pdf, int count, FaxResolution resolution,
               const std::vector<PageKind>& kinds)
        : pdf_(pdf), count_(count), resolution_(resolution), kinds_(kinds) {
        const int helpers = std::clamp(QThread::idealThreadCount(), 1, std::min(count, 4));
        ahead_ = 2 * helpers;
        ready_.resize(size_t(count));
        for (int i = 0; i < helpers; ++i) helpers_.emplace_back([this] { draw(); });
    }
    ~PagesAhead() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& helper : helpers_) helper.join();
    }
    PagesAhead(const PagesAhead&) = delete;
    PagesAhead& operator=(const PagesAhead&) = delete;

    // Page `index`, once drawn; taken in order. Throws the Failure that drawing it met.
    QImage take(int index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_[index].has_value(); });
        Drawn page = std::move(*ready_[index]);
        ready_[index].reset();
        taken_ = index + 1;
        lock.unlock();
        changed_.notify_all();
        if (!page.failure.isEmpty()) throw Failure(page.failure);
        return std::move(page.picture);
    }

private:
    struct Drawn {
        QImage picture;
        QString failure;
    };

    void draw() {
        std::optional<FaxPages> pages;
        for (;;) {
            int index;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock,
                              [&] { return stop_ || next_ >= count_ || next_ < taken_ + ahead_; });
                if (stop_ || next_ >= count_) return;
                index = next_++;
            }
            Drawn page;
            try {
                if (!pages) pages.emplace(pdf_);
                page.picture = pages->page(
                    index, resolution_,
                    size_t(index) < kinds_.size() ? kinds_[size_t(index)] : PageKind::Document);
            } catch (const std::exception& error) {
                page.failure = QString::fromStdString(error.what());
            }
            {
                const std::lock_guard lock(mutex_);
                ready_[index] = std::move(page);
            }
            changed_.notify_all();
        }
    }

    const QString pdf_;
    const int count_;
    const FaxResolution resolution_;
    const std::vector<PageKind> kinds_;
    int ahead_ = 2;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<Drawn>> ready_;
    int next_ = 0;   // the next page a helper draws
    int taken_ = 0;  // pages the writer has taken
    bool stop_ = false;
    std::vector<std::thread> helpers_;
};

// libtiff's last complaint about the file being written.
int KeepMessage(TIFF*, void* message, const char*, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    *static_cast<QString*>(message) = QString::fromLocal8Bit(text);
    return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

using Tiff = std::unique_ptr<TIFF, void (*)(TIFF*)>;

Tiff OpenForWriting(const QString& path, QString* message) {
    const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(
        TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepMessage, message);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, nullptr);
    return Tiff(TIFFOpenExt(QFile::encodeName(path).constData(), "w", options.get()), TIFFClose);
}

// One page's directory and strip. False when libtiff could not write it.
bool WritePage(TIFF* tiff, const QImage& page, int number, int total, FaxResolution resolution) {
    const int rowBytes = (kFaxDotsAcross + 7) / 8;
    const int rows = page.height();
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(kFaxDotsAcross));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(rows));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, uint32_t(GROUP3OPT_FILLBITS));
    TIFFSetField(tiff, TIFFTAG_FAXMODE, FAXMODE_CLASSF);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, double(kFaxDotsPerInch));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, double(FaxLinesPerInch(resolution)));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(rows));
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, number - 1, total);
    TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Velmora");
    // The page's rows as the TIFF holds them (first dot in the highest bit, 1 black), one
    // after the other.
    QByteArray strip;
    const uchar* bits = page.constBits();
    if (page.bytesPerLine() != rowBytes) {
        strip.resize(qsizetype(rowBytes) * rows);
        for (int y = 0; y < rows; ++y)
            std::copy_n(page.constScanLine(y), rowBytes, strip.data() + qsizetype(y) * rowBytes);
        bits = reinterpret_cast<const uchar*>(strip.constData());
    }
    return TIFFWriteEncodedStrip(tiff, 0, const_cast<uchar*>(bits), tmsize_t(rowBytes) * rows) >=
               0 &&
           TIFFWriteDirectory(tiff);
}

}  // namespace

int WriteFaxTiff(const QString& pdf, const QString& target, FaxResolution resolution,
                 const std::vector<PageKind>& kinds) {
    const int count = FaxPages(pdf).count();
    if (count < 1) throw Failure(QStringLiteral("'%1' has no page to fax.").arg(pdf));
    if (count > 0xffff)
        throw Failure(
            QStringLiteral("'%1' has %2 pages, more than a fax can number.").arg(pdf).arg(count));
    AtomicFile file(target);
    {
        QString message;
        const Tiff tiff = OpenForWriting(file.path(), &message);
        const auto cannotWrite = [&] {
            const QString full = FullDiskReason(file.path());
            return Failure(QStringLiteral("Cannot write '%1': %2.")
                               .arg(target, !full.isEmpty()      ? full
                                            : !message.isEmpty() ? message
                                                                 : qt_error_string()));
        };
        if (!tiff) throw cannotWrite();
        PagesAhead pages(pdf, count, resolution, kinds);
        Job* const job = Job::current();
        for (int i = 0; i < count; ++i) {
            ThrowIfJobCancelled();
            if (job) job->reportProgress(i, count);
            const QImage page = pages.take(i);
            if (page.width() != kFaxDotsAcross || page.format() != QImage::Format_Mono)
                throw Failure(QStringLiteral("Page %1 of '%2' could not be drawn for the fax.")
                                  .arg(i + 1)
                                  .arg(pdf));
            if (!WritePage(tiff.get(), page, i + 1, count, resolution)) throw cannotWrite();
        }
        if (!TIFFFlush(tiff.get())) throw cannotWrite();
    }
    file.commit();
    return count;
}

}  // namespace velmora
