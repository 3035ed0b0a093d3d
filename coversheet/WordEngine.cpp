#include "WordEngine.h"

namespace velmora {
namespace {

WordApplicationFactory& factoryOverride() {
    static WordApplicationFactory factory;
    return factory;
}

}  // namespace

ScopedWordApplicationFactory::ScopedWordApplicationFactory(WordApplicationFactory factory)
    : previous_(std::exchange(factoryOverride(), std::move(factory))) {}

ScopedWordApplicationFactory::~ScopedWordApplicationFactory() {
    factoryOverride() = std::move(previous_);
}

std::unique_ptr<WordConnection> CreateWordApplication() {
    if (factoryOverride()) return factoryOverride()();
    // The office module is not wired in yet.
    throw WordError(QStringLiteral("The office engine could not be started."));
}

}  // namespace velmora
