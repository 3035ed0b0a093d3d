#pragma once

#include "shell/ui/MessageBox.h"

#include <QByteArray>
#include <QString>
#include <ostream>
#include <vector>

namespace velmora::test {

// The folder every test program gets as its temporary folder (TEMP) and settings home.
QString TestFolder();

// Sets an environment variable (or unsets it, for a null value) while it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

// Answers every message box while it lives and keeps what was shown.
class MessageRecorder {
public:
    explicit MessageRecorder(MessageAnswer answer = MessageAnswer::Ok);

    struct Report {
        QString location;
        int step;
        QString description;
    };
    // The "Application Error" boxes, taken apart again.
    std::vector<Report> errorReports() const;
    // Every other box.
    std::vector<MessageRequest> otherMessages() const;

    const std::vector<MessageRequest>& all() const { return shown_; }
    void setAnswer(MessageAnswer answer) { answer_ = answer; }
    void clear() { shown_.clear(); }

private:
    std::vector<MessageRequest> shown_;
    MessageAnswer answer_;
    ScopedMessageResponder responder_;
};

}  // namespace velmora::test

// Readable QStrings in test failure messages.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << '"' << text.toStdString() << '"';
}
