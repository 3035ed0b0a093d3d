#pragma once

#include "WordConnection.h"

#include <functional>
#include <memory>

namespace velmora {

using WordApplicationFactory = std::function<std::unique_ptr<WordConnection>()>;

// Makes CreateWordApplication() use `factory` for as long as the object lives (tests drive
// the program with a scripted engine this way).
class ScopedWordApplicationFactory {
public:
    explicit ScopedWordApplicationFactory(WordApplicationFactory factory);
    ~ScopedWordApplicationFactory();
    ScopedWordApplicationFactory(const ScopedWordApplicationFactory&) = delete;
    ScopedWordApplicationFactory& operator=(const ScopedWordApplicationFactory&) = delete;

private:
    WordApplicationFactory previous_;
};

}  // namespace velmora
