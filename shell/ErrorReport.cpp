#include "ErrorReport.h"

#include "MessageBox.h"

namespace velmora {

QString ComposeErrorReport(const QString& location, int step, const QString& description) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(step) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QLatin1String(kSupportAddress);
}

void ShowErrorReport(const QString& location, int step, const QString& description) {
    ShowMessage({.title = QStringLiteral("Application Error"),
                 .text = ComposeErrorReport(location, step, description),
                 .icon = MessageIcon::Warning});
}

}  // namespace velmora
