#pragma once

#include "platform/base/URL.h"

#include <QList>

#include <optional>

// Told the file manager's selection, on the main thread: the file URLs, or none when the script failed.
class FinderTalk {
public:
    virtual ~FinderTalk() = default;
    virtual void finderURLs(const std::optional<QList<hb::URL>>& urls) = 0;
};
