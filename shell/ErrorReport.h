#pragma once

#include <QString>

namespace velmora {

inline constexpr auto kSupportAddress = "support@velmora.example";

// The text of the "Application Error" box: description, CR LF, location (which ends in a
// space), "at line ", step, CR CR, and the request to e-mail a screenshot. The box itself is
// the windows' (shell/ui/ErrorBox.h).
QString ComposeErrorReport(const QString& location, int step, const QString& description);

}  // namespace velmora
