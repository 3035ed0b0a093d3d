#include "Scanner.h"

#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/TerminationSignals.h"

#include <sane/sane.h>
#include <sane/saneopts.h>
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace velmora {
namespace {

QString Text(const char* text) {
    return QCoreApplication::translate("velmora::Scanner", text);
}

// Set when a scan given up did not end in SANE in time: its thread is still inside SANE as the
// process ends, so SANE is not ended under it.
std::atomic<bool> saneStuck{false};

// SANE for the process: started on first use, ended with the process. One thread uses it at
// a time (use).
class SaneLibrary {
public:
    static SaneLibrary& get() {
        static SaneLibrary library;
        return library;
    }
    ~SaneLibrary() {
        if (!saneStuck) sane_exit();
    }
    SaneLibrary(const SaneLibrary&) = delete;
    SaneLibrary& operator=(const SaneLibrary&) = delete;

    std::mutex use;

private:
    SaneLibrary() {
        SANE_Int version = 0;
        if (const SANE_Status status = sane_init(&version, nullptr); status != SANE_STATUS_GOOD)
            throw Failure(Text("The scanner library could not be started: %1")
                              .arg(QString::fromUtf8(sane_strstatus(status))));
    }
};

Failure SaneFailure(const char* what, SANE_Status status) {
    return Failure(Text(what).arg(QString::fromUtf8(sane_strstatus(status))));
}

// An open device and its options, found by name each time (a change of one may change the
// others).
class Device {
public:
    explicit Device(const QString& name) {
        const SANE_Status status = sane_open(name.toUtf8().constData(), &handle_);
        if (status != SANE_STATUS_GOOD)
            throw Failure(Text("The scanner \"%1\" could not be opened: %2")
                              .arg(name, QString::fromUtf8(sane_strstatus(status))));
    }
    ~Device() { sane_close(handle_); }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    SANE_Handle handle() const { return handle_; }

    // The option's number and description; -1 and null when the device has no such option
    // that is active.
    std::pair<int, const SANE_Option_Descriptor*> option(const char* name) const {
        for (int i = 1;; ++i) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle_, i);
            if (!d) return {-1, nullptr};
            if (d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap))
                return {i, d};
        }
    }

    QStringList choices(const char* name) const {
        QStringList list;
        const auto [index, d] = option(name);
        if (d && d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST)
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
                list << QString::fromUtf8(*s);
        return list;
    }
    std::vector<int> numberChoices(const char* name) const {
        std::vector<int> list;
        const auto [index, d] = option(name);
        if (d && d->constraint_type == SANE_CONSTRAINT_WORD_LIST)
            for (int i = 1; i <= d->constraint.word_list[0]; ++i)
                list.push_back(d->type == SANE_TYPE_FIXED ? SANE_UNFIX(d->constraint.word_list[i])
                                                          : d->constraint.word_list[i]);
        return list;
    }

    bool setText(const char* name, const QString& value) {
        const auto [index, d] = option(name);
        if (!d || d->type != SANE_TYPE_STRING || !SANE_OPTION_IS_SETTABLE(d->cap)) return false;
        QByteArray buffer = value.toUtf8();
        buffer.resize(std::max<qsizetype>(d->size, buffer.size() + 1), '\0');
        return sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr) ==
               SANE_STATUS_GOOD;
    }
    bool setNumber(const char* name, double value) {
        const auto [index, d] = option(name);
        if (!d || !SANE_OPTION_IS_SETTABLE(d->cap) || d->size != sizeof(SANE_Word)) return false;
        SANE_Word word = 0;
        if (d->type == SANE_TYPE_INT)
            word = SANE_Word(value + 0.5);
        else if (d->type == SANE_TYPE_FIXED)
            word = SANE_FIX(value);
        else
            return false;
        return sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, &word, nullptr) ==
               SANE_STATUS_GOOD;
    }
    // The option's value; `otherwise` when there is none to read.
    double number(const char* name, double otherwise) const {
        const auto [index, d] = option(name);
        if (!d || d->size != sizeof(SANE_Word)) return otherwise;
        SANE_Word word = 0;
        if (sane_control_option(handle_, index, SANE_ACTION_GET_VALUE, &word, nullptr) !=
            SANE_STATUS_GOOD)
            return otherwise;
        if (d->type == SANE_TYPE_INT) return word;
        if (d->type == SANE_TYPE_FIXED) return SANE_UNFIX(word);
        return otherwise;
    }

private:
    SANE_Handle handle_ = nullptr;
};

// The first of `choices` that contains one of `words` (in their order), case aside.
QString FirstWith(const QStringList& choices, std::initializer_list<const char*> words) {
    for (const char* word : words)
        for (const QString& choice : choices)
            if (choice.contains(QLatin1String(word), Qt::CaseInsensitive)) return choice;
    return {};
}

// Sets the device up for `settings`; returns whether the pages come 1 bit a dot by the
// device's own choice of black and white.
void Configure(Device& device, const ScanSettings& settings) {
    const QStringList modes = device.choices(SANE_NAME_SCAN_MODE);
    if (settings.mode == ScanMode::BlackAndWhite) {
        const QString lineart = FirstWith(modes, {"Lineart", "Binary", "Black"});
        if (!lineart.isEmpty()) {
            device.setText(SANE_NAME_SCAN_MODE, lineart);
        } else {
            // Grey at 1 bit where the device offers it; else grey made black and white here.
            device.setText(SANE_NAME_SCAN_MODE, FirstWith(modes, {"Gray", "Grey"}));
            const std::vector<int> depths = device.numberChoices(SANE_NAME_BIT_DEPTH);
            if (std::find(depths.begin(), depths.end(), 1) != depths.end())
                device.setNumber(SANE_NAME_BIT_DEPTH, 1);
        }
    } else {
        device.setText(SANE_NAME_SCAN_MODE, FirstWith(modes, {"Gray", "Grey"}));
        device.setNumber(SANE_NAME_BIT_DEPTH, 8);
    }
    device.setNumber(SANE_NAME_SCAN_RESOLUTION, settings.resolution);

    const QStringList sources = device.choices(SANE_NAME_SCAN_SOURCE);
    if (settings.source == ScanSource::Feeder) {
        QString feeder = FirstWith(sources, {"Automatic Document Feeder", "ADF Front", "Feeder"});
        if (feeder.isEmpty()) feeder = FirstWith(sources, {"ADF"});
        if (feeder.isEmpty() || !device.setText(SANE_NAME_SCAN_SOURCE, feeder))
            throw Failure(Text("This scanner has no document feeder. Choose Flatbed."));
    } else if (!sources.isEmpty()) {
        QString flatbed = FirstWith(sources, {"Flatbed", "Normal", "Platen"});
        if (flatbed.isEmpty()) flatbed = sources.front();
        device.setText(SANE_NAME_SCAN_SOURCE, flatbed);
    }

    if (!settings.area.isEmpty()) {
        const double left = device.number(SANE_NAME_SCAN_TL_X, 0);
        const double top = device.number(SANE_NAME_SCAN_TL_Y, 0);
        device.setNumber(SANE_NAME_SCAN_BR_X, left + settings.area.width());
        device.setNumber(SANE_NAME_SCAN_BR_Y, top + settings.area.height());
    }
}

// Black and white as 1 bit a dot, colour 0 black.
QImage ToMono(const QImage& image) {
    QImage mono = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    if (mono.colorCount() == 2 && qGray(mono.color(0)) > qGray(mono.color(1))) {
        mono.invertPixels();
        mono.setColorTable({qRgb(0, 0, 0), qRgb(0xff, 0xff, 0xff)});
    }
    return mono;
}

// The frame read as a picture in the mode asked for.
QImage ToImage(const SANE_Parameters& p, const QByteArray& data, ScanMode mode) {
    const int lines = p.bytes_per_line > 0 ? int(data.size() / p.bytes_per_line) : 0;
    if (lines <= 0 || p.pixels_per_line <= 0)
        throw Failure(Text("The scanner sent an empty page."));
    const auto row = [&](int y) {
        return reinterpret_cast<const uchar*>(data.constData()) + qsizetype(y) * p.bytes_per_line;
    };
    QImage image;
    if (p.format == SANE_FRAME_GRAY && p.depth == 1) {
        image = QImage(p.pixels_per_line, lines, QImage::Format_Mono);
        if (image.isNull()) throw Failure(Text("Not enough memory for the scanned page."));
        image.setColorTable({qRgb(0, 0, 0), qRgb(0xff, 0xff, 0xff)});
        const int bytes = (p.pixels_per_line + 7) / 8;
        for (int y = 0; y < lines; ++y) {
            uchar* to = image.scanLine(y);
            const uchar* from = row(y);
            // SANE's bit 1 is black.
            for (int i = 0; i < bytes; ++i) to[i] = uchar(~from[i]);
        }
        return image;
    }
    if (p.format == SANE_FRAME_GRAY && (p.depth == 8 || p.depth == 16)) {
        image = QImage(p.pixels_per_line, lines, QImage::Format_Grayscale8);
        if (image.isNull()) throw Failure(Text("Not enough memory for the scanned page."));
        for (int y = 0; y < lines; ++y) {
            uchar* to = image.scanLine(y);
            const uchar* from = row(y);
            if (p.depth == 8) {
                std::memcpy(to, from, size_t(p.pixels_per_line));
            } else {
                const auto* wide = reinterpret_cast<const quint16*>(from);
                for (int x = 0; x < p.pixels_per_line; ++x) to[x] = uchar(wide[x] >> 8);
            }
        }
    } else if (p.format == SANE_FRAME_RGB && p.depth == 8) {
        image = QImage(p.pixels_per_line, lines, QImage::Format_RGB888);
        if (image.isNull()) throw Failure(Text("Not enough memory for the scanned page."));
        for (int y = 0; y < lines; ++y)
            std::memcpy(image.scanLine(y), row(y), size_t(p.pixels_per_line) * 3);
        image = image.convertToFormat(QImage::Format_Grayscale8);
    } else {
        throw Failure(Text("The scanner sends its pages in a form this program cannot read."));
    }
    return mode == ScanMode::BlackAndWhite ? ToMono(image) : image;
}

}  // namespace

struct Scanner::Shared {
    std::mutex mutex;
    std::condition_variable idle;
    int working = 0;               // jobs inside SANE now
    SANE_Handle handle = nullptr;  // the device a scan reads, for giving it up
    Scanner* owner = nullptr;      // null once the object goes

    // While it lives, a job is inside SANE.
    class Working {
    public:
        explicit Working(Shared& shared) : shared_(shared) {
            const std::lock_guard lock(shared_.mutex);
            ++shared_.working;
        }
        ~Working() {
            {
                const std::lock_guard lock(shared_.mutex);
                --shared_.working;
            }
            shared_.idle.notify_all();
        }
        Working(const Working&) = delete;
        Working& operator=(const Working&) = delete;

    private:
        Shared& shared_;
    };

    void deliver(const ScannedPage& page) {
        const std::lock_guard lock(mutex);
        if (!owner) return;
        QMetaObject::invokeMethod(
            owner, [to = owner, page] { emit to->pageScanned(page); }, Qt::QueuedConnection);
    }
};

Scanner::Scanner(QObject* parent)
    : QObject(parent),
      shared_(std::make_shared<Shared>()),
      worker_(std::make_unique<JobWorker>(QStringLiteral("scanner"))) {
    qRegisterMetaType<ScannedPage>();
    shared_->owner = this;
}

Scanner::~Scanner() {
    std::unique_lock lock(shared_->mutex);
    shared_->owner = nullptr;
    lock.unlock();
    worker_->abortWork();
    lock.lock();
    if (!shared_->idle.wait_for(lock, kScannerEndWait, [&] { return shared_->working == 0; })) {
        // The device does not answer: its thread is left in SANE until the process ends.
        saneStuck = true;
        (void)worker_.release();
    }
}

QString Scanner::NoScannerMessage() {
    return tr(
        "No scanner was found. Check that it is switched on and connected, and that "
        "\"scanimage -L\" lists it.");
}

Job* Scanner::listDevices(Listed done) {
    auto found = std::make_shared<std::vector<ScannerDevice>>();
    return worker_->post(
        this,
        [shared = shared_, found] {
            const KeepSignalHandling keepSignals;  // as for a scan
            const Shared::Working working(*shared);
            SaneLibrary& sane = SaneLibrary::get();
            const std::lock_guard use(sane.use);
            ThrowIfJobCancelled();
            const SANE_Device** list = nullptr;
            if (const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
                status != SANE_STATUS_GOOD)
                throw SaneFailure("The scanners could not be listed: %1", status);
            for (; list && *list; ++list) {
                const SANE_Device& d = **list;
                QString label = QStringLiteral("%1 %2").arg(QString::fromUtf8(d.vendor),
                                                            QString::fromUtf8(d.model));
                if (d.type && *d.type)
                    label += QStringLiteral(" (%1)").arg(QString::fromUtf8(d.type));
                found->push_back({QString::fromUtf8(d.name), label.trimmed()});
            }
        },
        [found, done = std::move(done)](std::exception_ptr failure) {
            if (!done) return;
            QString problem;
            try {
                if (failure) std::rethrow_exception(failure);
            } catch (const JobGivenUp&) {
                return;
            } catch (const std::exception& e) {
                problem = QString::fromUtf8(e.what());
            }
            done(*found, problem);
        });
}

Job* Scanner::scan(const ScanSettings& settings, JobWorker::Done done) {
    Job* job = worker_->post(
        this,
        [shared = shared_, settings] {
            // The backend may take SIGTERM for its reading; the program's own handling comes
            // back when the scan ends, so that a plain kill still ends it tidily.
            const KeepSignalHandling keepSignals;
            const Shared::Working working(*shared);
            SaneLibrary& sane = SaneLibrary::get();
            const std::lock_guard use(sane.use);
            ThrowIfJobCancelled();
            Device device(settings.device);
            // Giving the job up cancels the device's scan: a read under way returns at once.
            {
                const std::lock_guard lock(shared->mutex);
                shared->handle = device.handle();
            }
            const ScopedCancelHook hook([shared] {
                const std::lock_guard lock(shared->mutex);
                if (shared->handle) sane_cancel(shared->handle);
            });
            struct Forget {
                Shared& shared;
                SANE_Handle handle;
                ~Forget() {
                    sane_cancel(handle);  // ends the device's batch, also after the last page
                    const std::lock_guard lock(shared.mutex);
                    shared.handle = nullptr;
                }
            } forget{*shared, device.handle()};

            Configure(device, settings);
            const bool feeder = settings.source == ScanSource::Feeder;
            QByteArray buffer(64 * 1024, Qt::Uninitialized);
            qint64 held = 0;  // the dots of the pages delivered so far
            const auto tooMuch = [](int number) {
                return Failure(Text("The scan stopped at page %1: the scanner sent more than "
                                    "this program keeps of one scan (%2 MB). Scan the rest "
                                    "again.")
                                   .arg(number)
                                   .arg(kMaxScanBytes >> 20));
            };
            for (int number = 1;; ++number) {
                ThrowIfJobCancelled();
                SANE_Status status = sane_start(device.handle());
                if (status == SANE_STATUS_NO_DOCS && feeder) {
                    if (number > 1) break;
                    throw Failure(
                        Text("The document feeder is empty. Put the pages in it and "
                             "scan again."));
                }
                if (status == SANE_STATUS_CANCELLED) throw JobGivenUp();
                if (status != SANE_STATUS_GOOD) throw SaneFailure("The scan failed: %1", status);
                SANE_Parameters parameters{};
                status = sane_get_parameters(device.handle(), &parameters);
                if (status != SANE_STATUS_GOOD) throw SaneFailure("The scan failed: %1", status);
                if (!parameters.last_frame)
                    throw Failure(
                        Text("The scanner sends its pages in a form this program "
                             "cannot read."));
                QByteArray data;
                if (parameters.lines > 0 && parameters.bytes_per_line > 0 &&
                    qint64(parameters.lines) * parameters.bytes_per_line <= kMaxScanBytes - held)
                    data.reserve(qsizetype(parameters.lines) * parameters.bytes_per_line);
                for (;;) {
                    SANE_Int length = 0;
                    status = sane_read(device.handle(), reinterpret_cast<SANE_Byte*>(buffer.data()),
                                       SANE_Int(buffer.size()), &length);
                    if (status == SANE_STATUS_EOF) break;
                    if (status == SANE_STATUS_CANCELLED || JobCancelled()) throw JobGivenUp();
                    if (status != SANE_STATUS_GOOD)
                        throw SaneFailure("The scan failed: %1", status);
                    if (held + data.size() + length > kMaxScanBytes) throw tooMuch(number);
                    data.append(buffer.constData(), length);
                }
                held += data.size();
                ThrowIfJobCancelled();
                ScannedPage page;
                page.image = ToImage(parameters, data, settings.mode);
                const double dpi = device.number(SANE_NAME_SCAN_RESOLUTION, settings.resolution);
                page.image.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
                page.image.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
                page.number = number;
                page.scannedAt = std::chrono::steady_clock::now();
                shared->deliver(page);
                if (Job* current = Job::current())
                    current->reportProgress(number, 0, Text("Page %1 scanned").arg(number));
                if (!feeder || number == settings.pageLimit) break;
            }
        },
        std::move(done));
    scanJob_ = job;
    return job;
}

void Scanner::cancel() {
    if (scanJob_) scanJob_->cancel();
}

}  // namespace velmora
