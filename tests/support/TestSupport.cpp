#include "TestSupport.h"

#include <QRegularExpression>

namespace velmora::test {

ScopedVariable::ScopedVariable(const char* name, const QByteArray& value)
    : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
    value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

ScopedVariable::~ScopedVariable() {
    had_ ? qputenv(name_, previous_) : qunsetenv(name_);
}

MessageRecorder::MessageRecorder(MessageAnswer answer)
    : answer_(answer), responder_([this](const MessageRequest& request) {
          shown_.push_back(request);
          return answer_;
      }) {}

std::vector<MessageRecorder::Report> MessageRecorder::errorReports() const {
    static const QRegularExpression form(
        QStringLiteral("^(.*)\\r\\n(in \\S+ )at line (\\d+)\\r\\rPlease email screenshot"),
        QRegularExpression::DotMatchesEverythingOption);
    std::vector<Report> reports;
    for (const auto& message : shown_) {
        if (message.title != QLatin1String("Application Error")) continue;
        const auto match = form.match(message.text);
        reports.push_back({match.captured(2), match.captured(3).toInt(), match.captured(1)});
    }
    return reports;
}

std::vector<MessageRequest> MessageRecorder::otherMessages() const {
    std::vector<MessageRequest> others;
    for (const auto& message : shown_)
        if (message.title != QLatin1String("Application Error")) others.push_back(message);
    return others;
}

}  // namespace velmora::test
