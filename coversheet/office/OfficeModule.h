#pragma once

// What the program and the office module agree on. Both are built together by the same
// compiler, so C++ types cross the boundary; the module is a Qt plugin whose interface
// identifier carries the contract's version, and the program refuses a module that offers
// another one (coversheet/WordEngine.cpp) before it calls anything in it.

#include "coversheet/office/WordConnection.h"
#include "shell/RunRecord.h"

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
};

// What the program lends the module. The module links a copy of the shell of its own, which
// knows nothing of the program's run: what it needs of the run comes through here, never
// through symbols the two share. Each may be called from any thread.
struct HostServices {
    // Notes a file in the program's run record (shell/RunRecord.h): the new files the module
    // fills beside the files they replace (a saved document, the profile's settings), and
    // their removal once in place, so that a program that dies meanwhile leaves nothing beside
    // them after its next start.
    std::function<void(FileNote note, const QString& path)> noteFile;
    // Whether the work the module does for the program is no longer wanted (the program is on
    // its way out). Asked while a start waits for its office and while a call waits for its
    // answer, a tenth of a second apart: once it says so, the office is ended and the start or
    // call fails as stopped.
    std::function<bool()> workGivenUp;
};

// The module's one object.
class OfficeModule {
public:
    virtual ~OfficeModule() = default;

    // Called once, as soon as the module is loaded and before anything else in it.
    virtual void lend(HostServices services) = 0;

    // Starts an office instance and connects to it. On success returns the connection; on
    // failure returns null and puts the reason in `error`.
    virtual std::unique_ptr<WordConnection> connect(const StartOptions& options,
                                                    QString& error) = 0;
};

}  // namespace velmora::office

// Raise the number whenever WordConnection, StartOptions, HostServices or OfficeModule change,
// so that a module built against the old contract is refused instead of called.
#define VELMORA_OFFICE_MODULE_IID "example.velmora.OfficeModule/7"
Q_DECLARE_INTERFACE(velmora::office::OfficeModule, VELMORA_OFFICE_MODULE_IID)
