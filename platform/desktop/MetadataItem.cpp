#include "platform/desktop/MetadataItem.h"

namespace hb {

MetadataValue MetadataItem::valueForAttribute(MetadataAttribute attribute) const
{
    switch (attribute) {
    case MetadataAttribute::dateAdded:
        return m_dateAdded;
    case MetadataAttribute::path:
        return m_path.isEmpty() ? MetadataValue() : MetadataValue(m_path);
    // Hidden items are never gathered.
    case MetadataAttribute::invisible:
        return false;
    case MetadataAttribute::contentTypeTree:
        return m_type ? MetadataValue(m_type->contentTypeTree) : MetadataValue();
    case MetadataAttribute::contentType:
        return m_type ? MetadataValue(m_type->contentType) : MetadataValue();
    case MetadataAttribute::kind:
        return m_type ? MetadataValue(m_type->kind) : MetadataValue();
    case MetadataAttribute::supportFileType:
    case MetadataAttribute::unknown:
        break;
    }
    return {};
}

}  // namespace hb
