#pragma once

#include "coversheet/WordEngine.h"
#include "shell/Clipboard.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <functional>
#include <memory>

namespace velmora::test {

// A scripted office engine: every connection writes what it is asked into one shared log,
// and a call can be made to fail.
struct FakeWordLog {
    QStringList calls;
    int connections = 0;
    QByteArray openedTemplateBytes;                   // the file as it was when opened
    std::function<void(const QString& call)> onCall;  // may throw to fail the call
    QColor pageColour = Qt::white;                    // of the pictures copyAsPicture makes
};

class FakeWord : public WordConnection {
public:
    explicit FakeWord(FakeWordLog& log) : log_(log) {}

    void documentsOpen(const QString& fileName, bool readOnly) override {
        record(QStringLiteral("open %1 %2").arg(fileName, readOnly ? "ro" : "rw"));
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw WordError(QStringLiteral("cannot open ") + fileName);
        if (readOnly) log_.openedTemplateBytes = file.readAll();
    }
    void setBookmarkText(const QString& name, const QString& value) override {
        record(QStringLiteral("set %1=%2").arg(name, value));
    }
    void fieldsUpdate() override { record(QStringLiteral("fieldsUpdate")); }
    void saveAs(const QString& fileName) override {
        record(QStringLiteral("saveAs %1").arg(fileName));
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly)) throw WordError(QStringLiteral("cannot save"));
        file.write("document");
    }
    // A real PDF: one Letter page that reads "Fake page".
    void exportAsPdf(const QString& fileName) override {
        record(QStringLiteral("exportAsPdf %1").arg(fileName));
        QPdfWriter pdf(fileName);
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        QPainter painter(&pdf);
        QFont font = painter.font();
        font.setPointSize(24);
        painter.setFont(font);
        painter.drawText(QPointF(600, 1200), QStringLiteral("Fake page"));
        if (!painter.end()) throw WordError(QStringLiteral("cannot write ") + fileName);
    }
    void saveAsDocx(const QString& fileName) override {
        record(QStringLiteral("saveAsDocx %1").arg(fileName));
        write(fileName, "PK fake docx");
    }
    void setDisplayAlerts(bool value) override {
        record(QStringLiteral("displayAlerts %1").arg(value ? "true" : "false"));
    }
    void close() override { record(QStringLiteral("close")); }
    void closeWithoutSaving() override { record(QStringLiteral("closeWithoutSaving")); }
    QImage copyAsPicture() override {
        record(QStringLiteral("copyAsPicture"));
        QImage page(34, 44, QImage::Format_RGB32);
        page.fill(log_.pageColour);
        PutPictureOnClipboard(page);
        return page;
    }
    void quit() override { record(QStringLiteral("quit")); }

private:
    static void write(const QString& fileName, const QByteArray& bytes) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw WordError(QStringLiteral("cannot write ") + fileName);
    }
    void record(const QString& call) {
        log_.calls << call;
        if (log_.onCall) log_.onCall(call);
    }
    FakeWordLog& log_;
};

// Routes CreateWordApplication() to fakes writing into `log` while it lives.
class FakeWordEngine {
public:
    explicit FakeWordEngine(FakeWordLog& log)
        : scope_([&log] {
              ++log.connections;
              log.calls << QStringLiteral("create");
              return std::make_unique<FakeWord>(log);
          }) {}

private:
    ScopedWordApplicationFactory scope_;
};

}  // namespace velmora::test
