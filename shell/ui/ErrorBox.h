#pragma once

#include "shell/ErrorSink.h"

#include <QString>

namespace velmora {

// Shows the modal "Application Error" box (warning icon, OK only) with ComposeErrorReport's
// text.
void ShowErrorReport(const QString& location, int step, const QString& description);

// The windows' error sink: a failed step shows the "Application Error" box, a notice a plain
// box under the application's title (both through ShowMessage).
class ErrorBoxes final : public ErrorSink {
public:
    void reportError(const QString& location, int step, const QString& description) override;
    void tellUser(const QString& text) override;
};

// Makes the boxes the current error sink for as long as the object lives (the program sets
// them at its start).
class ScopedErrorBoxes {
public:
    ScopedErrorBoxes() : use_(&boxes_) {}

private:
    ErrorBoxes boxes_;
    ScopedErrorSink use_;
};

}  // namespace velmora
