#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
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
// A resource of the given kind folder ("images", "sounds", "videos") looked up by name without extension,
// trying `extensions` in order: ":/images/statusBarIcon.svg". Empty when there is none.
QString pathForResource(const QString& folder, const QString& name, const QStringList& extensions);
}  // namespace Bundle

}  // namespace hb
