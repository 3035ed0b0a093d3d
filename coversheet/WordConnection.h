#pragma once

#include "coversheet/office/WordConnection.h"

#include <memory>

namespace velmora {

// CreateObject("Word.Application"): starts an office instance of our own and connects to
// it. Throws WordError when no engine can be started.
std::unique_ptr<WordConnection> CreateWordApplication();

}  // namespace velmora
