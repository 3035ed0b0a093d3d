// The embedded templates are the committed files, byte for byte: the resource build must not
// alter them, and each style's resource id must carry that style's file.
#include "TemplateFixture.h"
#include "TestSupport.h"

#include <QFile>

namespace velmora::test {
namespace {

class TemplateResource : public testing::TestWithParam<int> {};

TEST_P(TemplateResource, EqualsTheCommittedFile) {
    const int tab = GetParam();
    QFile committed(SourceDir() + QStringLiteral("/templates/") + TemplateName(tab) +
                    QStringLiteral(".dot"));
    ASSERT_TRUE(committed.open(QIODevice::ReadOnly)) << committed.fileName();
    const QByteArray expected = committed.readAll();
    const QByteArray embedded = coversheet::LoadResData(coversheet::StyleOfTab(tab).resourceId);
    ASSERT_FALSE(embedded.isEmpty());
    EXPECT_EQ(embedded.size(), expected.size());
    EXPECT_TRUE(embedded == expected) << "resource differs from " << committed.fileName();
    // A Word 97-2003 file is an OLE compound file.
    EXPECT_TRUE(embedded.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")));
}

VELMORA_FOR_EACH_STYLE(TemplateResource);

}  // namespace
}  // namespace velmora::test
