#include "FaultRows.h"

#include <QDir>
#include <QFile>

namespace velmora::faults {
namespace {

QString Counted(const QStringList& items) {
    return items.isEmpty() ? QStringLiteral("0")
                           : QStringLiteral("%1 (%2)").arg(items.size()).arg(items.join(", "));
}

}  // namespace

QString CaseName(const ::testing::TestInfo& info) {
    QString name =
        QLatin1String(info.test_suite_name()) + QLatin1Char('.') + QLatin1String(info.name());
    return name.replace(QLatin1Char('/'), QLatin1Char('-'));
}

QString CurrentCaseName() {
    return CaseName(*::testing::UnitTest::GetInstance()->current_test_info());
}

void WriteFaultRow(const QString& name, const ::testing::TestInfo& info, const QStringList& files,
                   const std::set<pid_t>& processes) {
    const QString folder =
        qEnvironmentVariable("VELMORA_FAULT_TABLE", QStringLiteral(VELMORA_FAULT_TABLE_DIR));
    QDir().mkpath(folder);
    QFile row(folder + QLatin1Char('/') + name + QStringLiteral(".row"));
    if (!row.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    const QString result = info.result()->Skipped()  ? QStringLiteral("skipped")
                           : info.result()->Failed() ? QStringLiteral("FAILED")
                                                     : QStringLiteral("passed");
    QStringList pids;
    for (const pid_t pid : processes) pids << QString::number(pid);
    row.write(QStringList({name, result, Counted(files), Counted(pids)})
                  .join(QLatin1Char('\t'))
                  .append(QLatin1Char('\n'))
                  .toUtf8());
}

}  // namespace velmora::faults
