#include "WordCheck.h"

#include "WordEngine.h"
#include "shell/ErrorSink.h"

#include <QStringList>
#include <cstdio>
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

QString WordMissingMessage(const QString& reason) {
    QStringList paragraphs{
        QStringLiteral("Error 842001. A normal instance of Word could not be created."),
        QStringLiteral("1. Please make sure Word is installed on this computer."),
        QStringLiteral("2. Please open Word normally and make sure a blank document opens "
                       "immediately without any interrupting window (such as an Word file "
                       "recovery window)."),
        QStringLiteral("3. Please make sure that when you double-click on a DOC or DOCX file that "
                       "Word opens normally without any interrupting messages."),
        QStringLiteral("4. All versions of Word are supported by this software except for the "
                       "rare Word Starter and Student editions."),
    };
    if (!reason.isEmpty())
        paragraphs << QStringLiteral(
                          "On this computer Velmora uses LibreOffice Writer in Word's "
                          "place, and it could not be started: %1 To install it, "
                          "run: sudo apt install libreoffice-writer")
                          .arg(reason);
    return paragraphs.join(QStringLiteral("\r\n\r\n"));
}

// The engine's own bounds on starting and on every call keep this from waiting on an office
// that starts but never answers: that counts as no engine.
bool CheckWordAvailable() {
    std::unique_ptr<WordConnection> word;
    QString reason;
    try {
        word = CreateWordApplication();
    } catch (const std::exception& error) {
        reason = QString::fromStdString(error.what());
    } catch (...) {
    }
    if (word) {
        quietly([&] { word->quit(); });
        return true;
    }
    if (reason.isEmpty()) reason = QStringLiteral("The office engine could not be started.");
    if (!reason.endsWith(QLatin1Char('.'))) reason += QLatin1Char('.');
    std::fprintf(stderr, "velmora: %s\n", reason.toLocal8Bit().constData());
    CurrentErrorSink().tellUser(WordMissingMessage(reason));
    return false;
}

}  // namespace velmora
