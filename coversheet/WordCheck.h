#pragma once

#include <QString>

namespace velmora {

// The message shown when no office engine can be started: the five paragraphs about Word,
// then, when `reason` (the engine's own description) is given, a sixth that names what
// stands in for Word here, why it did not start and how to install it.
QString WordMissingMessage(const QString& reason = {});

// Starts and quits one office instance. Returns true when that worked; otherwise prints the
// reason on standard error, shows WordMissingMessage(reason) and returns false (the caller
// then ends the program).
bool CheckWordAvailable();

}  // namespace velmora
