#include "WordCheck.h"

#include "WordConnection.h"
#include "shell/MessageBox.h"

#include <QStringList>
#include <memory>

namespace velmora {
namespace {

// Runs `action` with its errors suppressed; returns whether it completed.
template <class Action>
bool quietly(Action&& action) {
    try {
        action();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

QString WordMissingMessage() {
    return QStringList{
        QStringLiteral("Error 842001. A normal instance of Word could not be created."),
        QStringLiteral("1. Please make sure Word is installed on this computer."),
        QStringLiteral("2. Please open Word normally and make sure a blank document opens "
                       "immediately without any interrupting window (such as an Word file "
                       "recovery window)."),
        QStringLiteral("3. Please make sure that when you double-click on a DOC or DOCX file that "
                       "Word opens normally without any interrupting messages."),
        QStringLiteral("4. All versions of Word are supported by this software except for the "
                       "rare Word Starter and Student editions."),
    }
        .join(QStringLiteral("\r\n\r\n"));
}

// The engine's own bounds on starting and on every call keep this from waiting on an office
// that starts but never answers: that counts as no engine.
bool CheckWordAvailable() {
    std::unique_ptr<WordConnection> word;
    quietly([&] { word = CreateWordApplication(); });
    if (word) {
        quietly([&] { word->quit(); });
        return true;
    }
    ShowMessage({.title = {}, .text = WordMissingMessage()});
    return false;
}

}  // namespace velmora
