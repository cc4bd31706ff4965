#pragma once

#include "platform/desktop/MetadataContentTypes.h"
#include "platform/desktop/MetadataPredicate.h"

#include <QString>

#include <optional>

namespace hb {

// One result of a metadata query: the item's path, when it was added, and its type. Small on purpose:
// a search can hold hundreds of thousands.
class MetadataItem : public MetadataAttributeSource {
public:
    MetadataItem() = default;
    MetadataItem(QString path, MetadataDate dateAdded, const MetadataContentType* type)
        : m_path(std::move(path)), m_dateAdded(dateAdded), m_type(type)
    {
    }

    // None for an item that has no path.
    std::optional<QString> path() const { return m_path.isEmpty() ? std::nullopt : std::optional<QString>(m_path); }
    MetadataDate dateAdded() const { return m_dateAdded; }

    MetadataValue valueForAttribute(MetadataAttribute attribute) const override;
    MetadataValue valueForAttribute(const QString& name) const
    {
        return valueForAttribute(metadataAttributeNamed(name));
    }

private:
    QString m_path;
    MetadataDate m_dateAdded;
    const MetadataContentType* m_type = nullptr;  // shared, lives for the process
};

}  // namespace hb
