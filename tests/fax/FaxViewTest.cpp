// Every mark of a real cover sheet, made by the office, as the receiving fax machine prints it:
// each word the PDF holds is still there, neither gone white nor drowned in black, and the grey
// tick squares stay squares.
#include "coversheet/CoverSheet.h"
#include "coversheet/DocumentExport.h"
#include "fax/FaxPages.h"
#include "shell/TempFolder.h"
#include "tests/coversheet/FakeHost.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <poppler-qt6.h>
#include <QFile>
#include <cmath>

namespace velmora {
namespace {

using namespace coversheet;

// The black dots of `fax` within `box` (dots), and how many dots it has.
struct Ink {
    int black = 0, all = 0;
    double share() const { return all ? double(black) / all : 0; }
};

Ink InkIn(const QImage& fax, const QRect& box) {
    Ink ink;
    const QRect inside = box & fax.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++ink.all;
            ink.black += fax.pixelIndex(x, y);
        }
    return ink;
}

// A box of the PDF page (points) in the dots of its fax page.
QRect Dots(const QRectF& box, const QSizeF& page, const QImage& fax) {
    const double across = kFaxDotsAcross / page.width();
    const double down = across * fax.dotsPerMeterY() / fax.dotsPerMeterX();
    return QRectF(box.left() * across, box.top() * down, box.width() * across, box.height() * down)
        .toAlignedRect();
}

// Whether a word of the PDF is one of the sheets' empty tick squares (Wingdings' square).
bool IsTickSquare(const Poppler::TextBox& word) {
    return word.text() == QStringLiteral("\uf0a8");
}

// Whether `box` of `fax` holds a square drawn in outline: its black dots make a rectangle as
// tall on paper as it is wide, whose edges are black all round and whose middle is white.
bool HoldsHollowSquare(const QImage& fax, const QRect& box) {
    QRect ink;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (fax.pixelIndex(x, y) == 1) ink |= QRect(x, y, 1, 1);
    if (ink.width() < 4 || ink.height() < 3) return false;
    const double wide = double(ink.width()) / fax.dotsPerMeterX();
    const double tall = double(ink.height()) / fax.dotsPerMeterY();
    if (std::abs(wide - tall) > 0.2 * wide) return false;
    int edge = 0, black = 0;
    for (int x = ink.left(); x <= ink.right(); ++x, edge += 2)
        black += fax.pixelIndex(x, ink.top()) + fax.pixelIndex(x, ink.bottom());
    for (int y = ink.top(); y <= ink.bottom(); ++y, edge += 2)
        black += fax.pixelIndex(ink.left(), y) + fax.pixelIndex(ink.right(), y);
    return black == edge && fax.pixelIndex(ink.center()) == 0;
}

TEST(FaxView, EveryWordOfEachStyleStaysReadableAndTheGreyTickSquaresStay) {
    for (const Style& style : Styles()) {
        SCOPED_TRACE(style.caption);
        test::MessageRecorder boxes;
        test::FakeHost host = test::SampleSheet(style.tab);
        ASSERT_TRUE(test::RunToEnd(host));
        ASSERT_TRUE(boxes.all().empty()) << boxes.all().front().text;
        const QStringList documents = host.events.filter(QStringLiteral("wordFile "));
        ASSERT_EQ(documents.size(), 1);
        const QString document = documents[0].mid(9);
        const QString pdf = TempPath(QStringLiteral("sheet.pdf"));
        ExportDocument(document, pdf, DocumentFormat::Pdf);

        const std::unique_ptr<Poppler::Document> read = Poppler::Document::load(pdf);
        ASSERT_TRUE(read && read->numPages() == 1);
        const std::unique_ptr<Poppler::Page> page = read->page(0);
        const QSizeF size = page->pageSizeF();
        ASSERT_EQ(size, QSizeF(612, 792)) << "a US Letter page";
        const auto words = page->textList();
        ASSERT_GT(words.size(), 20u);

        const FaxPages fax(pdf);
        for (const FaxResolution resolution : {FaxResolution::Fine, FaxResolution::Standard}) {
            SCOPED_TRACE(FaxLinesPerInch(resolution));
            const QImage printed = fax.page(0, resolution);
            int squares = 0;
            for (const auto& word : words) {
                const QRect box = Dots(word->boundingBox(), size, printed);
                if (IsTickSquare(*word)) {
                    ++squares;
                    EXPECT_TRUE(HoldsHollowSquare(printed, box))
                        << "the square at " << box.x() << ", " << box.y();
                    continue;
                }
                // Black where the letters are, and paper between them: neither gone white nor
                // drowned in black (the Professional sheet's grey band, "confidential" in pale
                // grey on the Contemporary sheet, "FAX" in white on Casual's clipboard).
                const Ink ink = InkIn(printed, box);
                EXPECT_GT(ink.share(), 0.01) << word->text();
                EXPECT_LT(ink.share(), 0.9) << word->text();
            }
            // Three boxes left unticked where the style has them ("V" in the others).
            const bool remarks = style.tab == Contemporary || style.tab == Professional;
            EXPECT_EQ(squares, remarks ? 3 : 0);
        }
        QFile::remove(pdf);
        QFile::remove(document);
    }
}

}  // namespace
}  // namespace velmora
