// The packet under faults and hostile input: what a user attaches, views, saves and sends, with
// real files and real processes. Each case is a row of the fault campaign's table.
#include "fax/Packet.h"
#include "shell/FileProcedures.h"

#include "PdfReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QTemporaryDir>

namespace velmora {
namespace {

const OfficeToPdf kNoOffice = [](const QString&, const QString&) {
    ADD_FAILURE() << "no office document here";
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

}  // namespace
}  // namespace velmora
