#pragma once

#include <QString>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace Poppler {
class Document;
}

namespace velmora {

// The pages of a PDF file, printed as they are laid out: each page rendered at the printer's
// resolution (300 to 600 dpi), fitted to the paper when the paper is smaller and centred on
// it, with the page's text laid invisibly over the picture so that a printer writing a file
// keeps the text searchable.
class PagePrinter {
public:
    // Throws Failure when the file cannot be read as a PDF.
    explicit PagePrinter(const QString& pdfFile);
    ~PagePrinter();
    PagePrinter(const PagePrinter&) = delete;
    PagePrinter& operator=(const PagePrinter&) = delete;

    int pageCount() const;

    // Told before each sheet how many of how many are printed; false stops the job.
    using Progress = std::function<bool(int printed, int sheets)>;

    // Prints the pages the printer's page ranges choose (every page when it has none), in
    // its page order, and as many copies as it asks for where it cannot make them itself.
    // Runs on any thread. Returns false when `progress` or the program's end (ProgramEnding)
    // stopped it: the printer's job is then given up. Throws Failure when nothing is chosen or
    // the printer cannot print.
    bool print(QPrinter& printer, const Progress& progress = {}) const;

private:
    std::unique_ptr<Poppler::Document> document_;
    QString pdfFile_;
};

// Lets the user choose printer, copies and pages; false when cancelled.
using PrintDialog = std::function<bool(QWidget* parent, QPrinter& printer)>;

// The desktop's print dialog.
bool RunPrintDialog(QWidget* parent, QPrinter& printer);

}  // namespace velmora
