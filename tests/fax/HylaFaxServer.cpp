#include "HylaFaxServer.h"

#include "Processes.h"
#include "fax/HylaFaxFiles.h"

#include <gtest/gtest.h>
#include <QFileInfo>

namespace velmora::test {

Said RunAs(const QString& user, const QString& program, const QStringList& arguments,
           const QString& input) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(input);
    if (user.isEmpty())
        process.start(program, arguments);
    else
        process.start(
            QStringLiteral("runuser"),
            QStringList{QStringLiteral("-u"), user, QStringLiteral("--"), program} + arguments);
    const bool ended = process.waitForFinished(60000);
    if (!ended) process.kill(), process.waitForFinished();
    return {ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

bool FaxStatAnswers() {
    return RunAs({}, QLatin1String(hylafax::kFaxStat),
                 {QStringLiteral("-h"), QLatin1String(hylafax::kDefaultServer)})
        .text.contains(QLatin1String("HylaFAX scheduler"));
}

Said ControlServer(const QString& action) {
    if (QFileInfo(QStringLiteral("/run/systemd/system")).isDir())
        return RunAs({}, QStringLiteral("systemctl"),
                     {action, QLatin1String(hylafax::kServerUnit)});
    return RunAs({}, QLatin1String(hylafax::kServerScript), {action});
}

void SwitchServer(bool on, const std::function<bool()>& answers) {
    const Said said = ControlServer(on ? QStringLiteral("start") : QStringLiteral("stop"));
    if (on) ASSERT_EQ(said.exitCode, 0) << said.text;
    ASSERT_TRUE(Eventually([&] { return answers() == on; }))
        << (on ? "the server does not answer: " : "the server still answers: ")
        << said.text.toStdString();
}

}  // namespace velmora::test
