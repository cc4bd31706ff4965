#pragma once

#include "core/engine/DataSource.h"
#include "platform/base/URL.h"

#include <QList>

#include <optional>

// What the status tabs ask about the current source.
class HBSourceProtocol {
public:
    virtual ~HBSourceProtocol() = default;
    // None when there is no source or it holds no URL.
    virtual std::optional<QList<hb::URL>> sourceURLs() const = 0;
    // None when there is no source.
    virtual std::optional<DataSource> dataSource() const = 0;
};
