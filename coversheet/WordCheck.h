#pragma once

#include <QString>

namespace velmora {

// The message shown when no office engine can be started.
QString WordMissingMessage();

// Starts and quits one office instance. Returns true when that worked; otherwise shows
// WordMissingMessage() and returns false (the caller then ends the program).
bool CheckWordAvailable();

}  // namespace velmora
