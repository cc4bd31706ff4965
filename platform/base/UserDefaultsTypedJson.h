#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace hb::TypedJson {

// The defaults file format: a JSON object whose every value is tagged with its type,
// {"type": "bool|int|double|string|date|data|array|dict", "value": ...}, nested for arrays and dictionaries.

// A value of the file that this version cannot decode (no type tag, a type it does not know, a value
// that does not fit its type), kept as the text it was written as, so that writing the store back
// gives it back byte for byte. Lists and dictionaries keep what they can decode and hold these for
// the rest.
struct UndecodedValue {
    QByteArray json;
    bool operator==(const UndecodedValue&) const = default;
};

// The stored form of a value (integers as qlonglong, floats as double, string lists as lists, dates in UTC),
// or none for a type the defaults cannot hold.
std::optional<QVariant> canonical(const QVariant& value);

// Equal in value and in type at every level (1 and true, or 1 and 1.0, differ; NaN equals NaN).
bool identical(const QVariant& a, const QVariant& b);

// Whether a canonical value, written and read back, is the same value (a date outside the years
// 0 to 9999 is not).
bool roundTrips(const QVariant& value);

QByteArray encodeDocument(const QVariantMap& values);  // values already canonical
// None when the text is not such a document (not JSON, not an object). A member whose value, or a part
// of it, does not decode is named in `undecodable`; what does not decode is kept as an UndecodedValue.
std::optional<QVariantMap> decodeDocument(const QByteArray& text, QStringList* undecodable = nullptr);

}  // namespace hb::TypedJson

Q_DECLARE_METATYPE(hb::TypedJson::UndecodedValue)
