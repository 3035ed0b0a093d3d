#pragma once

// The rows of the fault campaign's table, one file per case in the table's folder
// (VELMORA_FAULT_TABLE, else the build's faults/): case, result, files left, processes left.

#include <gtest/gtest.h>
#include <sys/types.h>
#include <QString>
#include <QStringList>
#include <set>

namespace velmora::faults {

// "Suite.Case", with the parameter's name of a table-driven case ("Faults-Suite.Case-Name").
QString CaseName(const ::testing::TestInfo& info);
QString CurrentCaseName();

// Writes the row of the case `info` under `name`.
void WriteFaultRow(const QString& name, const ::testing::TestInfo& info, const QStringList& files,
                   const std::set<pid_t>& processes);

}  // namespace velmora::faults
