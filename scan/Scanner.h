#pragma once

#include "shell/Job.h"
#include "shell/JobWorker.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace velmora {

// A scanner SANE found: its name (what opens it, "test:0", "airscan:e0:Office") and what the
// user reads ("Pixma MG3600 (flatbed scanner)").
struct ScannerDevice {
    QString name;
    QString label;
};

enum class ScanMode { BlackAndWhite, Grey };
enum class ScanSource { Flatbed, Feeder };

struct ScanSettings {
    QString device;
    ScanMode mode = ScanMode::BlackAndWhite;
    int resolution = 200;  // dots per inch, across and down: fax fine
    ScanSource source = ScanSource::Flatbed;
    // The area scanned from the top left corner, in millimetres; empty: all the device offers.
    QSizeF area;
    // The most pages a feeder scan takes; 0: until the feeder is empty.
    int pageLimit = 0;
};

// One page as it came from the scanner: black and white as 1 bit a dot (Format_Mono, colour 0
// black), grey as Format_Grayscale8, with its resolution as dots per metre.
struct ScannedPage {
    QImage image;
    int number = 0;  // from 1, within its scan
    // When the scanner's last byte of it was read, on the scanner's worker.
    std::chrono::steady_clock::time_point scannedAt;
};

// The scanners of the machine, through SANE, on a worker of their own ("scanner"): the list of
// them, and scans of one page from the flatbed or of all the pages in the feeder, each page
// told as it arrives. SANE is started on first use and ended with the process (once each).
// Giving a scan up (its job's cancel, or the object's end) cancels it in SANE at once; its
// pages were never written anywhere. A device that does not answer keeps the object's end
// waiting for kScannerEndWait at most.
class Scanner : public QObject {
    Q_OBJECT
public:
    explicit Scanner(QObject* parent = nullptr);
    ~Scanner() override;
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // Lists the scanners on the worker; `done` on this object's thread with them, or with the
    // reason SANE gave when it could not list any.
    using Listed = std::function<void(const std::vector<ScannerDevice>&, const QString& problem)>;
    Job* listDevices(Listed done);

    // Scans with `settings`: from the flatbed one page, from the feeder every page until it is
    // empty (an empty feeder at the start is a failure that says so). Each page comes by
    // pageScanned as it arrives; `done` with the scan's failure (Failure, JobGivenUp) or null.
    Job* scan(const ScanSettings& settings, JobWorker::Done done);
    bool scanning() const { return scanJob_ && !scanJob_->ended(); }
    // Gives the scan under way up.
    void cancel();

    // The message for the user when no scanner was found.
    static QString NoScannerMessage();

signals:
    void pageScanned(const velmora::ScannedPage& page);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<JobWorker> worker_;
    QPointer<Job> scanJob_;
};

// How long the end of a Scanner waits for a scan it gave up to end in SANE: the program's end
// on a signal is to take no more than 2 s, a device that hangs included.
inline constexpr std::chrono::milliseconds kScannerEndWait{1500};

// What one scan may hold in memory, all its pages' dots together: a device that never says its
// feeder is empty, or a page that never ends, stops the scan here rather than fill the memory.
// (A Letter page at 600 dpi in grey is 34 MB; 200 pages at 200 dpi in grey, 750 MB.)
inline constexpr qint64 kMaxScanBytes = qint64(1) << 30;

}  // namespace velmora

Q_DECLARE_METATYPE(velmora::ScannedPage)
