#pragma once

#include "platform/base/Error.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace hb {

using MetadataDate = std::chrono::system_clock::time_point;

// A value compared in a predicate: nothing (the item lacks the attribute), a Boolean, a date, a string,
// or a list of strings (the content type tree).
using MetadataValue = std::variant<std::monostate, bool, MetadataDate, QString, QStringList>;

// Attribute names of the metadata query.
inline const QString kMDItemDateAdded = QStringLiteral("kMDItemDateAdded");
inline const QString kMDItemContentTypeTree = QStringLiteral("kMDItemContentTypeTree");
inline const QString kMDItemContentType = QStringLiteral("kMDItemContentType");
inline const QString kMDItemKind = QStringLiteral("kMDItemKind");
inline const QString kMDItemFSInvisible = QStringLiteral("kMDItemFSInvisible");
inline const QString kMDItemSupportFileType = QStringLiteral("kMDItemSupportFileType");
inline const QString kMDItemPath = QStringLiteral("kMDItemPath");

enum class MetadataAttribute {
    dateAdded,
    contentTypeTree,
    contentType,
    kind,
    invisible,
    supportFileType,
    path,
    unknown
};
MetadataAttribute metadataAttributeNamed(const QString& name);

// What a predicate reads of one item; asked only for the attributes the evaluation reaches, so an
// item can work its values out lazily.
class MetadataAttributeSource {
public:
    virtual ~MetadataAttributeSource() = default;
    virtual MetadataValue valueForAttribute(MetadataAttribute attribute) const = 0;
};

// A predicate in the query format: comparisons `attribute op operand` with op one of == != < >, operands
// %@ (taken in order from the arguments), 'quoted' or "quoted" strings, YES and NO; joined by && and ||
// (&& binds tighter) and grouped by parentheses. Against a list attribute == holds when any element
// matches and != when none does; an absent attribute is equal to nothing and ordered against nothing.
// Parsed once, evaluated per item; && and || stop at the first deciding side.
class MetadataPredicate {
public:
    static std::optional<MetadataPredicate> predicateWithFormat(const QString& format,
                                                                const std::vector<MetadataValue>& arguments,
                                                                Error* error = nullptr);

    bool evaluateWithObject(const MetadataAttributeSource& item) const;

    // The parsed tree, shared between copies.
    struct Node;

private:
    explicit MetadataPredicate(std::shared_ptr<const Node> root) : m_root(std::move(root)) {}
    std::shared_ptr<const Node> m_root;
};

}  // namespace hb
