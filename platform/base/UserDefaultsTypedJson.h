#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace hb::TypedJson {

// The defaults file format: a JSON object whose every value is tagged with its type,
// {"type": "bool|int|double|string|date|data|array|dict", "value": ...}, nested for arrays and dictionaries.

// The stored form of a value (integers as qlonglong, floats as double, string lists as lists, dates in UTC),
// or none for a type the defaults cannot hold.
std::optional<QVariant> canonical(const QVariant& value);

// Equal in value and in type at every level (1 and true, or 1 and 1.0, differ).
bool identical(const QVariant& a, const QVariant& b);

QByteArray encodeDocument(const QVariantMap& values);  // values already canonical
// None when the text is not such a document (not JSON, not an object, an unknown or malformed value).
std::optional<QVariantMap> decodeDocument(const QByteArray& text);

}  // namespace hb::TypedJson
