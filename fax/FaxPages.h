#pragma once

#include <QImage>
#include <QString>
#include <memory>

namespace Poppler {
class Document;
}

namespace velmora {

// How finely a fax machine scans down the page: fine, 196 lines to the inch, or standard, 98.
// Across the page every fax has 1728 dots, 204 to the inch (ITU-T T.4).
enum class FaxResolution { Fine, Standard };

inline constexpr int kFaxDotsAcross = 1728;
inline constexpr int kFaxDotsPerInch = 204;

constexpr int FaxLinesPerInch(FaxResolution resolution) {
    return resolution == FaxResolution::Fine ? 196 : 98;
}

// The length of every fax page, in lines: a US Letter page's once it is 1728 dots wide (11 by
// 1728 / 8.5 inches at 204 dots to the inch), 2149 lines fine and 1074 standard. Fax servers
// take it on Letter and on A4 paper as it is.
constexpr int FaxPageLines(FaxResolution resolution) {
    constexpr int letterWidth = 17 * kFaxDotsPerInch / 2;  // 8.5 inches in dots
    return (2 * 11 * kFaxDotsAcross * FaxLinesPerInch(resolution) + letterWidth) /
           (2 * letterWidth);
}

// How a page's greys become the fax's black and white: a fixed threshold, never dithering
// (dots scattered over a grey read worse on a fax than either colour). A grey darker than
// kFaxBlackBelow prints black: the sheets' grey tick squares and grey text (#808080) among
// them. A lighter grey, up to kFaxPaperFrom, prints black only where it meets the paper: a
// thin light rule stays whole, and a light area or a large light letter keeps its outline,
// while whatever dark lies on it (the name on the Professional sheet's grey band) stays
// readable. Paper and the palest tints print white. Colours count by their lightness (luma):
// the Casual sheet's clipboard prints black, "FAX" on it white.
inline constexpr int kFaxBlackBelow = 0xA8;
inline constexpr int kFaxPaperFrom = 0xE8;

// What a page shows: a page drawn by a program (the cover sheets, PDFs, office documents), or a
// picture (a photo or a scan attached as PNG, JPEG or TIFF).
//
// A picture is lit unevenly and shows what lay around the paper, so its greys are first taken
// relative to the paper under them, then thresholded as above. The paper's brightness about a
// dot is the lightest grey around it, bridging any dark mark narrower than about a fifth of an
// inch (text), and following everything wider (a table, a shadow, the page's own edge): a
// closing of the page's greys, worked in blocks of 4 x 4 dots. Each grey is scaled by as much as
// turns that paper white, a dark paper a little further (its grain and a photo's noise among
// it), so that a page photographed on a table prints as a page, white around its text, and its
// text black in the shadow too. Where the paper about a dot is white already its grey stays as
// it is: a scan on white paper prints as a drawn page does. A dark area wider than the bridge
// prints as its outline.
enum class PageKind { Document, Picture };

// The pages of a PDF as the receiving fax machine prints them: each 1728 dots across and
// FaxPageLines() long, the PDF's page scaled to fit, its shape kept (a US Letter page fills it;
// a page of another width is scaled to 1728 dots where its length allows, else to the fax
// page's length, centred across; at the top), landscape pages turned upright, drawn crisply
// (no smoothing, the thinnest lines one dot), then thresholded as above, for a picture relative to
// its paper (PageKind). The PDF is opened
// once; one object is used by one thread at a time.
class FaxPages {
public:
    // Throws Failure, naming the file, when it cannot be read as a PDF.
    explicit FaxPages(const QString& pdf);
    ~FaxPages();
    FaxPages(const FaxPages&) = delete;
    FaxPages& operator=(const FaxPages&) = delete;

    int count() const;
    // Page `index` (from 0): a Format_Mono picture, colour 0 white and 1 black (the fax's own
    // "0 is white", row by row as a TIFF holds it), whose dots per metre are the fax's (204
    // across, 196 or 98 down: a standard page's dots are twice as tall as wide, so its size on
    // paper is width / dotsPerMeterX by height / dotsPerMeterY); whatever the page's size, it
    // is drawn at the fax's dots. Drawing stops as soon as the job it runs for is given up
    // (JobGivenUp). Throws Failure.
    QImage page(int index, FaxResolution resolution, PageKind kind = PageKind::Document) const;

private:
    QString pdf_;
    std::unique_ptr<Poppler::Document> document_;
};

// One page of `pdf` as the fax prints it (FaxPages::page), for the preview's fax view.
// Throws Failure.
QImage FaxPage(const QString& pdf, int pageIndex, FaxResolution resolution,
               PageKind kind = PageKind::Document);

}  // namespace velmora
