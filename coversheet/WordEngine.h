#pragma once

#include "coversheet/office/WordConnection.h"
#include "shell/ScopedOverride.h"

#include <functional>
#include <memory>

namespace velmora {

class WordApplicationPool;

// CreateObject("Word.Application"): an office instance of our own, connected: from the factory
// or the pool that stands in (below), else started now. Throws WordError when no engine can be
// started.
std::unique_ptr<WordConnection> CreateWordApplication();

using WordApplicationFactory = std::function<std::unique_ptr<WordConnection>()>;

// Makes CreateWordApplication() use `factory` for as long as the object lives (tests drive
// the program with a scripted engine this way).
class ScopedWordApplicationFactory : public ScopedOverride<WordApplicationFactory> {
public:
    explicit ScopedWordApplicationFactory(WordApplicationFactory factory);
};

// Makes CreateWordApplication() take its instances from `pool` for as long as the object
// lives (the program does this from its start; see WordApplicationPool).
class ScopedWordApplicationPool : public ScopedAtomicOverride<WordApplicationPool> {
public:
    explicit ScopedWordApplicationPool(WordApplicationPool& pool);
};

// Ends every office instance the program has started, and makes the pool hand out no more:
// the office work under way fails at once. For a program on its way out; safe from any thread.
void AbortOfficeWork();
// Ends the office instances in use, so that the work under way fails at once; the program goes
// on with others. Safe from any thread.
void EndOfficeWorkInUse();

// Starts a new office instance and connects to it, on any thread: what
// CreateWordApplication() does when no pool or factory stands in, and the start function the
// program gives its pool. Throws WordError.
std::unique_ptr<WordConnection> StartWordApplication();

}  // namespace velmora
