// Pages that take the program's memory and its window when they are drawn: a page as large as a
// PDF page may be, and pictures larger than any page needs. Each case is a row of the fault
// campaign's table; the program's memory is held under a ceiling while it draws, and measured.
#include "TestSupport.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/office/PictureText.h"
#include "coversheet/office/SnapshotResolution.h"
#include "fax/FaxPacket.h"
#include "fax/PageRender.h"
#include "preview/AttachedDocuments.h"
#include "preview/Form2.h"
#include "preview/PictureBox.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QAccessible>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace velmora {
namespace {

// A PDF file of the given objects (numbered from 1, the first the catalog), with its cross
// reference table, as a hostile file would come: small, and valid.
void WritePdf(const QString& path, const std::vector<QByteArray>& objects) {
    QByteArray pdf = "%PDF-1.4\n";
    std::vector<qsizetype> offsets;
    for (size_t n = 0; n < objects.size(); ++n) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(qulonglong(n + 1)) + " 0 obj\n" + objects[n] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf +=
        "xref\n0 " + QByteArray::number(qulonglong(objects.size() + 1)) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(qlonglong(offset)).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(qulonglong(objects.size() + 1)) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(qlonglong(xref)) + "\n%%EOF\n";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(pdf), pdf.size());
}

QByteArray Stream(const QByteArray& dictionary, const QByteArray& data) {
    return "<< " + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" +
           data + "\nendstream";
}

// One page `points` wide and high, drawing `contents` with Helvetica as /F1 and `xobjects`.
void WriteOnePagePdf(const QString& path, int width, int height, const QByteArray& contents,
                     const QByteArray& xobjects = {}, std::vector<QByteArray> more = {}) {
    std::vector<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(width) + ' ' +
            QByteArray::number(height) + "] /Resources << /Font << /F1 4 0 R >> /XObject << " +
            xobjects + " >> >> /Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>", Stream({}, contents)};
    for (QByteArray& object : more) objects.push_back(std::move(object));
    WritePdf(path, objects);
}

// A white picture of `side` x `side` one-bit dots as CCITT group 4 codes: every row the same
// as the white row above it, one bit each, so a few kilobytes decode to a gigapixel.
QByteArray WhiteG4(int side) {
    return QByteArray((side + 7) / 8, '\xff');
}

QByteArray G4Parameters(int side) {
    return "<< /K -1 /Columns " + QByteArray::number(side) + " /Rows " + QByteArray::number(side) +
           " >>";
}

// The most memory the process has held so far, in bytes.
qint64 PeakResident() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// The process's address space, its current size (/proc/self/statm) and `headroom` more at most,
// while the object lives: an allocation past it fails rather than taking the machine's memory.
class AddressSpaceCeiling {
public:
    explicit AddressSpaceCeiling(qint64 headroom) {
        getrlimit(RLIMIT_AS, &before_);
        QFile statm(QStringLiteral("/proc/self/statm"));
        const bool read = statm.open(QIODevice::ReadOnly);
        const qint64 pages = read ? statm.readAll().split(' ').value(0).toLongLong() : 0;
        rlimit ceiling = before_;
        ceiling.rlim_cur = rlim_t(pages * getpagesize() + headroom);
        if (pages > 0) setrlimit(RLIMIT_AS, &ceiling);
    }
    ~AddressSpaceCeiling() { setrlimit(RLIMIT_AS, &before_); }
    AddressSpaceCeiling(const AddressSpaceCeiling&) = delete;
    AddressSpaceCeiling& operator=(const AddressSpaceCeiling&) = delete;

private:
    rlimit before_{};
};

constexpr qint64 kMegabyte = 1024 * 1024;
// What drawing one page may take above what the program held: a tenth of the 4 GB the large
// page took, with room for the worker's own allocations.
constexpr qint64 kDrawingHeadroom = 1536 * kMegabyte;

// The preview window over a packet of a cover page and the documents attached behind it, as
// the program shows it.
class PageDrawingFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        QImage cover(1360, 1760, QImage::Format_RGB32);
        cover.fill(Qt::white);
        cover.setDotsPerMeterX(kSnapshotDotsPerMeter);
        cover.setDotsPerMeterY(kSnapshotDotsPerMeter);
        cover.setText(QLatin1String(kPicturePagesKey), QStringLiteral("1"));
        cover_ = cover;
        QObject::connect(&packet_, &FaxPacket::attachFailed, &form_,
                         [this](const QStringList& reasons) { refusals_ << reasons; });
    }

    QString path(const char* name) const { return folder_.filePath(QLatin1String(name)); }

    void attach(const QString& file) {
        packet_.attach({file});
        settle();
    }
    static void settle() {
        ASSERT_TRUE(QTest::qWaitFor([] { return !OfficeJobs::shared().busy(); }, 120'000));
    }

    void showPreview() {
        packet_.setCoverPicture(cover_);
        form_.show();
        form_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    }

    // A page command as the user gives it; how long the window was held in its handler.
    qint64 press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QElapsedTimer held;
        held.start();
        QTest::keyClick(&form_, key, modifiers);
        return held.elapsed();
    }

    template <class Widget>
    Widget* control(const char* name) {
        auto* widget = form_.findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString status() { return control<QLabel>("PageStatus")->text(); }
    // The page as the view holds it, unscaled.
    QImage heldPage() { return control<PictureBox>("Zoom_Ori")->picture(); }
    QString spokenText() {
        QAccessibleInterface* view =
            QAccessible::queryAccessibleInterface(control<PictureBox>("Picture1"));
        return view->textInterface()->text(0, -1).simplified();
    }

    QImage cover_;
    QStringList refusals_;
    test::MessageRecorder messages_;
    FaxPacket packet_;
    AttachedDocuments documents_{packet_};
    Form2 form_{documents_, [] {}};

private:
    QTemporaryDir folder_{test::TestFolder() + QStringLiteral("/pages-XXXXXX")};
};

// The largest page a PDF may have, 200 x 200 inches, in a file of a few hundred bytes: 32000 x
// 32000 pixels (4 GB) at the preview's resolution. It is drawn whole on the worker, within the
// pixel budget, in normal and in fax view, while the window takes its next command; a page asked
// for meanwhile wins over one still being drawn, and Stop leaves the page shown as it was.
TEST_F(PageDrawingFaults, AHugePageIsDrawnWithinThePixelBudgetOffTheWindowsThread) {
    WriteOnePagePdf(path("poster.pdf"), 14400, 14400,
                    "BT /F1 1440 Tf 1440 7200 Td (Huge page) Tj ET");
    attach(path("poster.pdf"));
    ASSERT_EQ(packet_.attachedPages(), 1) << refusals_.join('\n');
    showPreview();
    const qint64 coverKey = heldPage().cacheKey();

    const AddressSpaceCeiling ceiling(kDrawingHeadroom);
    const qint64 peakBefore = PeakResident();
    const qint64 held = press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(status(), QStringLiteral("Page 2 of 2"));
    EXPECT_TRUE(OfficeJobs::shared().busy()) << "drawn in the key's handler, " << held << " ms";
    EXPECT_EQ(heldPage().cacheKey(), coverKey) << "the cover shows until the page is drawn";
    settle();
    const qint64 grown = PeakResident() - peakBefore;
    std::printf("normal view: window held %lld ms, peak memory grew by %lld MB\n",
                static_cast<long long>(held), static_cast<long long>(grown / kMegabyte));
    EXPECT_TRUE(messages_.all().empty()) << messages_.all().front().text;
    const QImage page = heldPage();
    EXPECT_LE(qint64(page.width()) * page.height(), kMaxPagePixels);
    EXPECT_EQ(page.width(), page.height()) << "the whole page, its shape kept";
    EXPECT_GT(page.width(), 1000);
    // The text across the middle, paper above it.
    EXPECT_EQ(QColor(page.pixel(page.width() / 10, page.height() / 10)), QColor(Qt::white));
    int inked = 0;
    for (int x = 0; x < page.width(); ++x)
        inked += qGray(page.pixel(x, page.height() / 2 - page.height() / 40)) < 0x80;
    EXPECT_GT(inked, page.width() / 20) << "the text drawn";
    EXPECT_EQ(spokenText(), QStringLiteral("Huge page"));
    EXPECT_LT(grown, 512 * kMegabyte);

    const qint64 faxHeld = press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(OfficeJobs::shared().busy()) << "drawn in the key's handler, " << faxHeld << " ms";
    settle();
    std::printf("fax view: window held %lld ms\n", static_cast<long long>(faxHeld));
    EXPECT_EQ(control<QLabel>("ViewStatus")->text(), QStringLiteral("Fax view, fine"));
    EXPECT_EQ(heldPage().width(), kFaxDotsAcross);
    EXPECT_EQ(spokenText(), QStringLiteral("Huge page"));

    // Back to the cover while the page is drawn again: the cover stays, whenever the drawing
    // ends; and Stop gives a drawing up, the page shown staying.
    press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    press(Qt::Key_PageUp, Qt::ControlModifier);
    settle();
    EXPECT_EQ(status(), QStringLiteral("Page 1 of 2"));
    EXPECT_EQ(heldPage().cacheKey(), coverKey);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    press(Qt::Key_Escape, Qt::NoModifier);
    settle();
    EXPECT_EQ(status(), QStringLiteral("Page 1 of 2"));
    EXPECT_EQ(heldPage().cacheKey(), coverKey);
    EXPECT_TRUE(messages_.all().empty());
}

// A PDF page drawing a picture of 30000 x 30000 dots (900 megapixels, a few kilobytes as CCITT
// codes), as an image object and inline in the page: Poppler decodes a picture whole whatever
// the page's scale, 3.6 GB for this one. It is refused as it is attached, for the picture's
// size, and whatever of it the packet took is drawn in both views within the memory ceiling.
TEST_F(PageDrawingFaults, APdfHoldingA30000By30000ImageNeitherTakesGigabytesNorBlocks) {
    constexpr int kSide = 30000;
    const QByteArray image =
        "/Type /XObject /Subtype /Image /Width 30000 /Height 30000 "
        "/BitsPerComponent 1 /ColorSpace /DeviceGray /Filter /CCITTFaxDecode "
        "/DecodeParms " +
        G4Parameters(kSide);
    WriteOnePagePdf(path("scan.pdf"), 612, 792, "q 612 0 0 792 0 0 cm /Im1 Do Q", "/Im1 6 0 R",
                    {Stream(image, WhiteG4(kSide))});
    WriteOnePagePdf(path("inline.pdf"), 612, 792,
                    "q 612 0 0 792 0 0 cm BI /W 30000 /H 30000 /BPC 1 /CS /G /F /CCF /DP " +
                        G4Parameters(kSide) + " ID " + WhiteG4(kSide) + " EI Q");
    attach(path("scan.pdf"));
    attach(path("inline.pdf"));
    EXPECT_EQ(refusals_.size(), 2) << refusals_.join('\n').toStdString();
    for (int n = 0; n < std::min(int(refusals_.size()), 2); ++n) {
        EXPECT_TRUE(refusals_[n].contains(QStringLiteral("30000 x 30000 dots, too large")))
            << refusals_[n];
        EXPECT_TRUE(refusals_[n].contains(n == 0 ? "scan.pdf" : "inline.pdf")) << refusals_[n];
    }

    showPreview();
    const AddressSpaceCeiling ceiling(kDrawingHeadroom);
    const qint64 peakBefore = PeakResident();
    qint64 held = 0;
    for (int page = 1; page < packet_.pageTotal(); ++page) {
        held = std::max(held, press(Qt::Key_PageDown, Qt::ControlModifier));
        settle();
        held = std::max(held, press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier));
        settle();
        press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        settle();
    }
    const qint64 grown = PeakResident() - peakBefore;
    std::printf("%d pages attached: window held %lld ms, peak memory grew by %lld MB\n",
                packet_.attachedPages(), static_cast<long long>(held),
                static_cast<long long>(grown / kMegabyte));
    EXPECT_EQ(packet_.count(), 0);
    EXPECT_LT(grown, 512 * kMegabyte);
}

}  // namespace
}  // namespace velmora
