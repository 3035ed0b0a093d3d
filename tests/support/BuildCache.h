#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace velmora::test {

// A folder of files made once per build tree for a given input, for work that takes an office
// several seconds (converting documents) and that every test program of a suite would
// otherwise repeat. The folder is build/test-cache/<name>-<hash>, the hash taken over `input`
// and the installed office; `make` fills an empty folder and answers whether it succeeded.
// Test programs running side by side wait for the one that makes it; a folder is only ever
// seen complete. Returns the folder, or "" when `make` failed (then nothing is kept).
QString CachedFolder(const QString& name, const QByteArray& input,
                     const std::function<bool(const QString& folder)>& make);

}  // namespace velmora::test
