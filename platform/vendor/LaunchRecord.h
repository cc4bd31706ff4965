#pragma once

#include "platform/base/Error.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace hb {

// The local record of launches, kept in the container: how often and when the program started, and
// the version it last started as. Nothing leaves the machine.
struct LaunchRecord {
    qint64 launchCount = 0;
    QDateTime firstLaunch;
    QDateTime lastLaunch;
    QString version;

    static QString path();  // <container>/Launches.json
    // The stored record; an empty one when there is none or it does not parse.
    static LaunchRecord load();
    // Counts one launch of `version` at `now` and stores the record.
    static std::optional<Error> recordLaunch(const QString& version, const QDateTime& now);
};

}  // namespace hb
