#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace hb {

// The application bundle: the information dictionary (resources/Info.json) and named resources,
// compiled into the binary under ":/".
namespace Bundle {
QVariantMap infoDictionary();
QVariant objectForInfoDictionaryKey(const QString& key);
std::optional<QByteArray> resourceData(const QString& name);  // ":/<name>"
QString resourcePath(const QString& name);                    // ":/<name>" or empty when missing
}  // namespace Bundle

}  // namespace hb
