#include "platform/vendor/LaunchRecord.h"

#include "platform/base/Locations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace hb {

QString LaunchRecord::path()
{
    return Locations::containerDirectory() + QStringLiteral("/Launches.json");
}

LaunchRecord LaunchRecord::load()
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    LaunchRecord record;
    record.launchCount = std::max<qint64>(0, object.value(QStringLiteral("launchCount")).toInteger());
    record.firstLaunch = QDateTime::fromString(object.value(QStringLiteral("firstLaunch")).toString(), Qt::ISODate);
    record.lastLaunch = QDateTime::fromString(object.value(QStringLiteral("lastLaunch")).toString(), Qt::ISODate);
    record.version = object.value(QStringLiteral("version")).toString();
    return record;
}

std::optional<Error> LaunchRecord::recordLaunch(const QString& version, const QDateTime& now)
{
    LaunchRecord record = load();
    record.launchCount += 1;
    if (!record.firstLaunch.isValid())
        record.firstLaunch = now;
    record.lastLaunch = now;
    record.version = version;

    const QJsonObject object{{QStringLiteral("launchCount"), record.launchCount},
                             {QStringLiteral("firstLaunch"), record.firstLaunch.toUTC().toString(Qt::ISODate)},
                             {QStringLiteral("lastLaunch"), record.lastLaunch.toUTC().toString(Qt::ISODate)},
                             {QStringLiteral("version"), record.version}};
    QDir().mkpath(QFileInfo(path()).path());
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 || !file.commit())
        return Error::fromErrno(EIO, path(), true);
    return std::nullopt;
}

}  // namespace hb
