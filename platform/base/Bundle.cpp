#include "platform/base/Bundle.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <mutex>

namespace hb::Bundle {

namespace {

QString resourceName(const QString& name)
{
    return name.startsWith(u":/") ? name : QStringLiteral(":/") + name;
}

}  // namespace

QVariantMap infoDictionary()
{
    static std::mutex mutex;
    static QVariantMap cached;
    std::lock_guard lock(mutex);
    // Kept once read; an empty answer is retried, the resources may not be registered yet.
    if (cached.isEmpty()) {
        if (const auto data = resourceData(QStringLiteral("Info.json")))
            cached = QJsonDocument::fromJson(*data).object().toVariantMap();
    }
    return cached;
}

QVariant objectForInfoDictionaryKey(const QString& key)
{
    return infoDictionary().value(key);
}

std::optional<QByteArray> resourceData(const QString& name)
{
    QFile file(resourceName(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString resourcePath(const QString& name)
{
    const QString path = resourceName(name);
    return QFile::exists(path) ? path : QString();
}

QString pathForResource(const QString& folder, const QString& name, const QStringList& extensions)
{
    if (name.isEmpty() || name.contains(u'/'))
        return {};
    for (const QString& extension : extensions) {
        const QString path = resourcePath(folder + u'/' + name + u'.' + extension);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

}  // namespace hb::Bundle
