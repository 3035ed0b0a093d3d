#include "SettingsStore.h"

#include <QSettings>

namespace velmora {
namespace {

constexpr auto kApplication = "Brindlework";
constexpr auto kSection = "Velmora";

QString keyPath(const QString& key) {
    return QLatin1String(kSection) + QLatin1Char('/') + key;
}

}  // namespace

void SaveSetting(const QString& key, const QString& value) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kApplication));
    store.setValue(keyPath(key), value);
    store.sync();
}

QString GetSetting(const QString& key, const QString& defaultValue) {
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                          QLatin1String(kApplication));
    return store.value(keyPath(key), defaultValue).toString();
}

}  // namespace velmora
