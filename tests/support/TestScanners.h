#pragma once

#include <QStringList>

namespace velmora::test {

// SANE's own "test" backend as the only scanner SANE knows ("test:0", "test:1"), through a
// configuration folder made in `folder` (which goes with it). `options`: lines of its test.conf
// ("read-delay true"). Called before the program's first use of SANE, which reads it once.
void UseTestScanners(const QString& folder, const QStringList& options = {});

}  // namespace velmora::test
