#include "ErrorBox.h"

#include "shell/ErrorReport.h"
#include "shell/ui/MessageBox.h"

namespace velmora {

void ShowErrorReport(const QString& location, int step, const QString& description) {
    ShowMessage({.title = QStringLiteral("Application Error"),
                 .text = ComposeErrorReport(location, step, description),
                 .icon = MessageIcon::Warning});
}

void ErrorBoxes::reportError(const QString& location, int step, const QString& description) {
    ShowErrorReport(location, step, description);
}

void ErrorBoxes::tellUser(const QString& text) {
    ShowMessage({.title = {}, .text = text});
}

}  // namespace velmora
