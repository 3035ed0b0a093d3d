#pragma once

// What the template tests share: the four styles as test parameters, and writing an embedded
// template out as a file the way the generation run does.

#include "OfficeFileReaders.h"
#include "coversheet/CoverSheet.h"

#include <gtest/gtest.h>
#include <QString>

namespace velmora::test {

// "casual", "contemporary", ...: the file name the template has in templates/.
inline QString TemplateName(int tab) {
    return QString::fromLatin1(coversheet::StyleOfTab(tab).caption).toLower();
}

// Writes the embedded template of `tab` to `folder`/<name>.dot and returns the path.
QString WriteEmbeddedTemplate(int tab, const QString& folder);

// The bookmarks the generation run fills on `tab`, in the order it fills them.
QStringList FilledBookmarks(int tab);

struct TabName {
    std::string operator()(const testing::TestParamInfo<int>& info) const {
        return coversheet::StyleOfTab(info.param).caption;
    }
};

#define VELMORA_FOR_EACH_STYLE(Suite)                                                         \
    INSTANTIATE_TEST_SUITE_P(, Suite,                                                         \
                             testing::Values(coversheet::Casual, coversheet::Contemporary,    \
                                             coversheet::Professional, coversheet::Standard), \
                             TabName())

}  // namespace velmora::test
