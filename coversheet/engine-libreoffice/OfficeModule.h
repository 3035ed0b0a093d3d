#pragma once

// What the program and the office module agree on. Both are built together by the same
// compiler, so C++ types cross the boundary; only the entry point has C linkage, to be found
// by name.

#include "coversheet/WordConnection.h"

#include <QString>
#include <chrono>

namespace velmora::office {

struct StartOptions {
    // The office program to run; soffice.bin in LibreOffice's program folder when empty.
    QString program;
    // Where the private office profiles live (one folder per slot).
    QString profileFolder;
    // The fontconfig file the office gets; a built-in one when empty or missing.
    QString fontConfigFile;
    // Longest wait for a started office to accept the connection.
    std::chrono::milliseconds startBound{20000};
    // Longest wait for any one call into the office before it counts as hung and is ended.
    std::chrono::milliseconds callBound{30000};
};

}  // namespace velmora::office

// Starts an office instance and connects to it. On success returns the connection, which the
// caller owns; on failure returns null and puts the reason in `error`.
extern "C" velmora::WordConnection* velmora_office_connect(
    const velmora::office::StartOptions& options, QString& error);

inline constexpr auto kOfficeEntryPoint = "velmora_office_connect";
using OfficeConnectFunction = decltype(&velmora_office_connect);
