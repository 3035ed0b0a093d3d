#include "RunPasswords.h"

#include <map>
#include <mutex>

namespace velmora {
namespace {

std::mutex& passwordMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<QString, QString>& passwords() {
    static std::map<QString, QString> known;
    return known;
}

}  // namespace

void RunPasswords::remember(const QString& key, const QString& password) {
    const std::lock_guard lock(passwordMutex());
    passwords()[key] = password;
}

std::optional<QString> RunPasswords::find(const QString& key) {
    const std::lock_guard lock(passwordMutex());
    const auto known = passwords().find(key);
    if (known == passwords().end()) return std::nullopt;
    return known->second;
}

void RunPasswords::forget(const QString& key) {
    const std::lock_guard lock(passwordMutex());
    passwords().erase(key);
}

}  // namespace velmora
