// The packet under faults and hostile input: what a user attaches, views, saves and sends, with
// real files and real processes. Each case is a row of the fault campaign's table.
#include "coversheet/DocumentExport.h"
#include "fax/Packet.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"

#include "PdfReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <qpdf/QPDF.hh>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora {
namespace {

const OfficeToPdf kNoOffice = [](const QString&, const QString&) {
    ADD_FAILURE() << "no office document here";
};

using namespace std::chrono_literals;

// Writes a Word 2007-365 document at `path` whose body is `body` (WordprocessingML paragraphs)
// and whose relationships are `relationships`, with Python's zipfile (deflated, as Word does).
// "@FILL@" in the body stands for `fill` letters.
void WriteDocx(const QString& path, const QString& body, const QString& relationships = {},
               qint64 fill = 0) {
    static const char* const script = R"(
import sys, zipfile
path, rels = sys.argv[1], sys.argv[2]
body = sys.stdin.read().replace('@FILL@', 'a' * int(sys.argv[3]))
ns = ('xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
      'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" '
      'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture"')
with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('[Content_Types].xml', '<?xml version="1.0"?><Types xmlns="http://schemas.'
        'openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType='
        '"application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
        'ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType='
        '"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
        '</Types>')
    z.writestr('_rels/.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.'
        'openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://'
        'schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" '
        'Target="word/document.xml"/></Relationships>')
    z.writestr('word/_rels/document.xml.rels', '<?xml version="1.0"?><Relationships xmlns='
        '"http://schemas.openxmlformats.org/package/2006/relationships">' + rels +
        '</Relationships>')
    z.writestr('word/document.xml', '<?xml version="1.0"?><w:document ' + ns + '><w:body>' +
        body + '</w:body></w:document>')
)";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QLatin1String(script), path,
                                             relationships, QString::number(fill)});
    python.write(body.toUtf8());
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(120000) && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
}

QString Paragraph(const QString& text) {
    return QStringLiteral("<w:p><w:r><w:t>%1</w:t></w:r></w:p>").arg(text);
}

// A server on 127.0.0.1 that counts the connections made to it and answers each "not
// found", for as long as it lives.
class CountingServer {
public:
    CountingServer() {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(socket_, 16) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            while (!stopping_) {
                pollfd ready{socket_, POLLIN, 0};
                if (::poll(&ready, 1, 50) != 1) continue;
                const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0) continue;
                ++connections_;
                char request[4096];
                [[maybe_unused]] const ssize_t read = ::recv(client, request, sizeof request, 0);
                static const char answer[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
                [[maybe_unused]] const ssize_t sent =
                    ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
                ::close(client);
            }
        });
    }
    ~CountingServer() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(socket_);
    }
    int port() const { return port_; }
    int connections() const { return connections_; }

private:
    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

class PacketFaults : public ::testing::Test {
protected:
    QString path(const char* name) const { return folder_.filePath(QLatin1String(name)); }

private:
    QTemporaryDir folder_;
};

// A photo from a phone (48 megapixels, 8000 x 6000) is within the program's own pixel limit and
// is attached, though it needs more than the picture reader's default allocation allows.
TEST_F(PacketFaults, AnOrdinaryPhonePhotoIsAttached) {
    QImage photo(8000, 6000, QImage::Format_RGB32);
    photo.fill(Qt::darkGray);
    ASSERT_TRUE(photo.save(path("phone.jpg"), "JPG", 50));
    const Attachment attached = PrepareAttachment(path("phone.jpg"), kNoOffice);
    EXPECT_EQ(attached.pages, 1);
    EXPECT_EQ(test::PdfPages(attached.pdf), 1);
    RemoveFileQuietly(attached.pdf);
}

// A .docx of a few hundred kilobytes that unpacks to 300 MB of text is refused before the
// office sees it, with the reason, and nothing is left.
TEST_F(PacketFaults, ADocumentThatUnpacksToHundredsOfMegabytesIsRefusedBeforeTheOffice) {
    WriteDocx(path("bomb.docx"), Paragraph(QStringLiteral("@FILL@")), {}, qint64(300) << 20);
    ASSERT_LT(QFileInfo(path("bomb.docx")).size(), 2 << 20);
    bool converted = false;
    QElapsedTimer taken;
    taken.start();
    try {
        PrepareAttachment(path("bomb.docx"),
                          [&](const QString&, const QString&) { converted = true; });
        ADD_FAILURE() << "attached";
    } catch (const Failure& failure) {
        EXPECT_TRUE(QString::fromUtf8(failure.what()).contains(QLatin1String("unpacks to 300 MB")))
            << failure.what();
    }
    EXPECT_FALSE(converted) << "the office was given it";
    EXPECT_LT(taken.elapsed(), 5000);
}

// The office's work on an attachment is bounded in time and memory whatever it does: past a
// bound it is ended and the conversion fails with that reason; the next conversion gets an
// office of its own and works.
TEST_F(PacketFaults, TheOfficesWorkOnAnAttachmentIsBoundedInTimeAndMemory) {
    QString paragraphs;
    for (int n = 0; n < 200000; ++n) paragraphs += Paragraph(QStringLiteral("Line %1").arg(n));
    WriteDocx(path("long.docx"), paragraphs);
    WriteDocx(path("short.docx"), Paragraph(QStringLiteral("A short memo")));
    const auto failureOf = [&](const char* document, const OfficeWorkLimits& limits) {
        try {
            ExportDocument(path(document), path("out.pdf"), DocumentFormat::Pdf, limits);
        } catch (const Failure& failure) {
            return QString::fromUtf8(failure.what());
        }
        return QString();
    };
    QElapsedTimer taken;
    taken.start();
    EXPECT_TRUE(failureOf("long.docx", {.total = 2s})
                    .contains(QLatin1String("took longer than 2 seconds")));
    // Its office's start included, which a loaded machine makes slow.
    EXPECT_LT(taken.elapsed(), 30000) << "the time bound was not held";
    EXPECT_TRUE(failureOf("short.docx", {.memoryBytes = 32 << 20})
                    .contains(QLatin1String("needed more than 32 MB")));
    EXPECT_TRUE(failureOf("short.docx",
                          {.total = kOfficeAttachmentTime, .memoryBytes = kOfficeAttachmentMemory})
                    .isEmpty());
    EXPECT_EQ(test::PdfPages(path("out.pdf")), 1);
}

// The office never fetches what an attached document links to on a server.
TEST_F(PacketFaults, AnAttachedDocumentsLinksToTheOutsideAreNotFetched) {
    const CountingServer server;
    ASSERT_GT(server.port(), 0);
    WriteDocx(
        path("linked.docx"),
        Paragraph(QStringLiteral("A picture linked from a server below")) +
            QStringLiteral(
                "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"952500\"/>"
                "<wp:docPr id=\"1\" name=\"Picture 1\"/><a:graphic><a:graphicData uri=\"http://"
                "schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:nvPicPr>"
                "<pic:cNvPr id=\"1\" name=\"x.png\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill>"
                "<a:blip r:link=\"rIdImg\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
                "<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"952500\" cy=\"952500\"/>"
                "</a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
                "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>"),
        QStringLiteral("<Relationship Id=\"rIdImg\" Type=\"http://schemas.openxmlformats.org/"
                       "officeDocument/2006/relationships/image\" Target=\"http://127.0.0.1:%1/"
                       "picture.png\" TargetMode=\"External\"/>")
            .arg(server.port()));
    const Attachment attached = PrepareAttachment(path("linked.docx"), OfficeDocumentToPdf);
    EXPECT_EQ(attached.pages, 1);
    EXPECT_TRUE(test::PdfPageText(attached.pdf, 1).contains(QLatin1String("linked from a server")));
    RemoveFileQuietly(attached.pdf);
    EXPECT_EQ(server.connections(), 0) << "the office fetched the linked picture";
}

// A PDF attached with scripts and a program to start (when it opens, when its page is shown,
// behind its links) goes out without them; its page and its link to a web address stay.
TEST_F(PacketFaults, ScriptsAndProgramStartsOfAnAttachedPdfAreLeftOut) {
    // Written by hand, its cross-reference table left for the reader to rebuild, as readers do.
    QFile file(path("active.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(%PDF-1.4
1 0 obj << /Type /Catalog /Pages 2 0 R /OpenAction 6 0 R
  /Names << /JavaScript << /Names [(run) 6 0 R] >> >> >> endobj
2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj
3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R
  /Resources << /Font << /F1 5 0 R >> >> /AA << /O 6 0 R >>
  /Annots [7 0 R 8 0 R 9 0 R] >> endobj
4 0 obj << /Length 44 >> stream
BT /F1 24 Tf 72 700 Td (Active page) Tj ET
endstream endobj
5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj
6 0 obj << /S /JavaScript /JS (app.alert\('opened'\)) >> endobj
7 0 obj << /Type /Annot /Subtype /Link /Rect [72 600 300 620]
  /A << /S /Launch /F (/bin/sh) >> >> endobj
8 0 obj << /Type /Annot /Subtype /Link /Rect [72 560 300 580]
  /A << /S /URI /URI (https://example.org/) /Next 6 0 R >> >> endobj
9 0 obj << /Type /Annot /Subtype /Widget /Rect [72 520 300 540] /AA << /K 6 0 R >> >> endobj
trailer << /Root 1 0 R >>
%%EOF
)");
    file.close();
    const Attachment attached = PrepareAttachment(path("active.pdf"), kNoOffice);
    EXPECT_EQ(test::PdfPageText(attached.pdf, 1), QStringLiteral("Active page"));
    // Every object of the PDF as qpdf reads it, the trailer's among them.
    QPDF written;
    written.processFile(QFile::encodeName(attached.pdf).constData());
    std::string text = written.getTrailer().unparseResolved();
    for (QPDFObjectHandle& object : written.getAllObjects()) text += object.unparseResolved();
    const QByteArray objects = QByteArray::fromStdString(text);
    for (const char* active : {"/JavaScript", "/JS", "/Launch", "/AA", "/OpenAction", "/Next"})
        EXPECT_FALSE(objects.contains(active)) << active << " is still in the packet's PDF";
    EXPECT_TRUE(objects.contains("https://example.org/")) << "the web link went too";
    RemoveFileQuietly(attached.pdf);
}

}  // namespace
}  // namespace velmora
