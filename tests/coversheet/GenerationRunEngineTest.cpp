// The generation run against the real office: what ends up in the document, read back
// with an independent reader.
#include "FakeHost.h"
#include "TestSupport.h"
#include "coversheet/DateWording.h"
#include "coversheet/DocumentExport.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/WordEngine.h"
#include "shell/TempFolder.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>

namespace velmora {
namespace {

using namespace coversheet;

QString output(const QString& program, const QStringList& arguments) {
    QProcess reader;
    reader.start(program, arguments);
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

QString antiword(const QString& document) {
    return output(QStringLiteral("antiword"),
                  {QStringLiteral("-w"), QStringLiteral("0"), document});
}

// The texts each style must show, in reading order.
QStringList ExpectedInOrder(int tab) {
    const QString date = DateText(QDate(2026, 12, 6)).trimmed();
    switch (tab) {
        case Casual:
            return {"Martin Hale",
                    "555-014-2278",
                    "Nora Quist",
                    "555-016-3391",
                    date,
                    "What's up man",
                    "Did you eat that cheeseburger yet?",
                    "Second line of the note"};
        case Contemporary:
            return {"4 Quay Lane, Porthallow",
                    "Martin Hale",
                    "555-014-2278",
                    "Nora Quist",
                    date,
                    "What's up man",
                    "Ida Brandt",
                    "Did you eat that cheeseburger yet?"};
        case Professional:
            // The address cell and the company cell share their first line.
            return {"12 Harbour Row",
                    "Brindle Harbour Supplies",
                    "Porthallow, PH 20114",
                    "555-010-7788",
                    "555-016-3391",
                    "www.harbour.example",
                    "Martin Hale",
                    "Nora Quist",
                    "555-014-2278",
                    "555-010-4455",
                    date,
                    "What's up man",
                    "Ida Brandt",
                    "Did you eat that cheeseburger yet?"};
        default:
            return {"Martin Hale",   "Nora Quist",   "555-014-2278",
                    "555-016-3391",  "555-010-4455", "555-010-7788",
                    "What's up man", date,           "Did you eat that cheeseburger yet?"};
    }
}

class GenerationRunEngine : public ::testing::TestWithParam<int> {};

// With eleven pages attached behind it, a sheet that counts its pages counts twelve, in the
// document and in every form it is saved in.
TEST_P(GenerationRunEngine, FillsTheStyleAndLeavesOnlyTheDocument) {
    const int tab = GetParam();
    test::MessageRecorder boxes;
    test::FakeHost host = test::SampleSheet(tab);
    host.attached = 11;
    const QRegularExpression packetPages(QStringLiteral("[Pp]ages:[ |]*12\\b"));
    const auto expectPacketPages = [&](const QString& text) {
        EXPECT_EQ(text.contains(packetPages), tab != Standard) << text;
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[Pp]ages:[ |]*1\\b"))));
    };
    ASSERT_TRUE(test::RunToEnd(host));
    ASSERT_TRUE(boxes.all().empty()) << boxes.all().front().text;

    const QStringList left =
        QDir(TempFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    ASSERT_EQ(left.size(), 1) << left.join(' ');
    EXPECT_TRUE(QRegularExpression("^quillon[1-9]{8}\\.doc$").match(left[0]).hasMatch()) << left[0];
    const QString document = TempPath(left[0]);
    EXPECT_TRUE(host.events.contains("wordFile " + document));
    EXPECT_TRUE(host.events.contains("picture 1360x1760"));

    // In reading order; a page's text read back from a PDF comes in the order of its
    // columns, so there only that every value is there.
    const auto expectValuesInOrder = [&](const QString& text, bool inOrder = true) {
        qsizetype at = 0;
        for (const QString& value : ExpectedInOrder(tab)) {
            const qsizetype found = text.indexOf(value, at);
            ASSERT_GE(found, 0) << value << " missing or out of order in\n" << text;
            if (inOrder) at = found + value.size();
        }
    };
    const QString text = antiword(document);
    expectValuesInOrder(text);
    expectPacketPages(text);

    // Saved as PDF: the same values as selectable text, every font embedded, one page.
    const QString pdf = TempPath(QStringLiteral("sheet.pdf"));
    ExportDocument(document, pdf, DocumentFormat::Pdf);
    expectValuesInOrder(output("pdftotext", {pdf, "-"}).simplified(), false);
    expectPacketPages(output("pdftotext", {pdf, "-"}).simplified());
    const QStringList fonts = output("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(fonts.size(), 2) << "a heading of two lines, then the fonts";
    for (const QString& font : fonts.mid(2))
        EXPECT_TRUE(font.contains(QRegularExpression(" yes +(yes|no) +(yes|no) +\\d+ +\\d+$")))
            << font;
    EXPECT_TRUE(output("pdfinfo", {pdf}).contains(QRegularExpression("\nPages: +1\n")));

    // Saved as DOCX and opened again by the office: the same values.
    const QString docx = TempPath(QStringLiteral("sheet.docx"));
    ExportDocument(document, docx, DocumentFormat::Docx);
    const QString reopened = TempPath(QStringLiteral("reopened.doc"));
    {
        const std::unique_ptr<WordConnection> word = CreateWordApplication();
        word->documentsOpen(docx, true);
        word->saveAs(reopened);
        word->closeWithoutSaving();
        word->quit();
    }
    expectValuesInOrder(antiword(reopened));
    expectPacketPages(antiword(reopened));
    for (const QString& file : {pdf, docx, reopened}) QFile::remove(file);

    if (tab == Contemporary || tab == Professional) {
        // Ticked remarks read "V"; the others keep their square.
        EXPECT_TRUE(text.contains(QRegularExpression("V Urgent")));
        EXPECT_TRUE(text.contains(QRegularExpression("V Please [Cc]omment")));
        EXPECT_FALSE(text.contains(QRegularExpression("V (For [Rr]eview|Please [Rr]eply)")));
    }
    if (tab == Professional) {
        EXPECT_TRUE(text.contains("| 12 Harbour Row")) << "street starts with one space";
    }
    // What the style must not write stays out of the document.
    if (tab == Contemporary) {
        EXPECT_FALSE(text.contains("555-016-3391"));
    }
    if (tab == Casual || tab == Standard) {
        EXPECT_FALSE(text.contains("Ida Brandt"));
    }
    if (tab != Professional) {
        EXPECT_FALSE(text.contains("12 Harbour Row"));
    }
    EXPECT_FALSE(
        text.contains(QRegularExpression("\\[(Name|fax number|subject of fax|Address|"
                                         "Street Address|Company Name)\\]")))
        << text;
    QFile::remove(document);
}

INSTANTIATE_TEST_SUITE_P(EveryStyle, GenerationRunEngine,
                         ::testing::Values(Casual, Contemporary, Professional, Standard),
                         [](const auto& info) {
                             return std::string(StyleOfTab(info.param).caption);
                         });

}  // namespace
}  // namespace velmora
