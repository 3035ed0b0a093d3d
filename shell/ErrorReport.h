#pragma once

#include <QString>

namespace velmora {

inline constexpr auto kSupportAddress = "support@velmora.example";

// The text of the "Application Error" box: description, CR LF, location (which ends in a
// space), "at line ", step, CR CR, and the request to e-mail a screenshot.
QString ComposeErrorReport(const QString& location, int step, const QString& description);

// Shows the modal "Application Error" box (warning icon, OK only).
void ShowErrorReport(const QString& location, int step, const QString& description);

}  // namespace velmora
