#pragma once

// What the program and the office module agree on. Both are built together by the same
// compiler, so C++ types cross the boundary; the module is a Qt plugin whose interface
// identifier carries the contract's version, and the program refuses a module that offers
// another one (coversheet/WordEngine.cpp) before it calls anything in it.

#include "coversheet/office/WordConnection.h"

#include <QString>
#include <QtPlugin>
#include <chrono>
#include <functional>
#include <memory>

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
    // Asked while a start waits for the office (a tenth of a second apart): once it says so,
    // the start is broken off and its office ended (the program is on its way out).
    std::function<bool()> givenUp;
};

// The module's one object.
class OfficeModule {
public:
    virtual ~OfficeModule() = default;

    // Starts an office instance and connects to it. On success returns the connection; on
    // failure returns null and puts the reason in `error`.
    virtual std::unique_ptr<WordConnection> connect(const StartOptions& options,
                                                    QString& error) = 0;
};

}  // namespace velmora::office

// Raise the number whenever WordConnection, StartOptions or OfficeModule change, so that a
// module built against the old contract is refused instead of called.
#define VELMORA_OFFICE_MODULE_IID "example.velmora.OfficeModule/5"
Q_DECLARE_INTERFACE(velmora::office::OfficeModule, VELMORA_OFFICE_MODULE_IID)
