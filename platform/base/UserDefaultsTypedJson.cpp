#include "platform/base/UserDefaultsTypedJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace hb::TypedJson {

namespace {

QJsonObject tagged(const char* type, const QJsonValue& value)
{
    return QJsonObject{{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("value"), value}};
}

QJsonValue encode(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return tagged("bool", value.toBool());
    case QMetaType::LongLong:
        return tagged("int", value.toLongLong());
    case QMetaType::Double: {
        // JSON has no spelling for these.
        const double number = value.toDouble();
        if (std::isnan(number))
            return tagged("double", QStringLiteral("nan"));
        if (std::isinf(number))
            return tagged("double", number > 0 ? QStringLiteral("inf") : QStringLiteral("-inf"));
        return tagged("double", number);
    }
    case QMetaType::QString:
        return tagged("string", value.toString());
    case QMetaType::QDateTime:
        return tagged("date", value.toDateTime().toUTC().toString(Qt::ISODateWithMs));
    case QMetaType::QByteArray:
        return tagged("data", QString::fromLatin1(value.toByteArray().toBase64()));
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& element : value.toList())
            array.append(encode(element));
        return tagged("array", array);
    }
    default: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key(), encode(it.value()));
        return tagged("dict", object);
    }
    }
}

std::optional<QVariant> decode(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonValue value = object.value(QStringLiteral("value"));
    if (type == u"bool" && value.isBool())
        return QVariant(value.toBool());
    if (type == u"int" && value.isDouble()) {
        const double number = value.toDouble();
        if (number != std::trunc(number))
            return std::nullopt;
        return QVariant(static_cast<qlonglong>(value.toInteger()));
    }
    if (type == u"double") {
        if (value.isDouble())
            return QVariant(value.toDouble());
        const QString text = value.toString();
        if (text == u"nan")
            return QVariant(std::numeric_limits<double>::quiet_NaN());
        if (text == u"inf")
            return QVariant(std::numeric_limits<double>::infinity());
        if (text == u"-inf")
            return QVariant(-std::numeric_limits<double>::infinity());
        return std::nullopt;
    }
    if (type == u"string" && value.isString())
        return QVariant(value.toString());
    if (type == u"date" && value.isString()) {
        const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!date.isValid())
            return std::nullopt;
        return QVariant(date.toUTC());
    }
    if (type == u"data" && value.isString()) {
        const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return QVariant(*decoded);
    }
    if (type == u"array" && value.isArray()) {
        QVariantList list;
        for (const QJsonValue& element : value.toArray()) {
            auto decoded = decode(element);
            if (!decoded)
                return std::nullopt;
            list.append(*decoded);
        }
        return QVariant(list);
    }
    if (type == u"dict" && value.isObject()) {
        QVariantMap map;
        const QJsonObject members = value.toObject();
        for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
            auto decoded = decode(it.value());
            if (!decoded)
                return std::nullopt;
            map.insert(it.key(), *decoded);
        }
        return QVariant(map);
    }
    return std::nullopt;
}

}  // namespace

std::optional<QVariant> canonical(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QVariant(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QVariant(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() > static_cast<qulonglong>(std::numeric_limits<qlonglong>::max()))
            return std::nullopt;
        return QVariant(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::QString:
        return QVariant(value.toString());
    case QMetaType::QByteArray:
        return value;
    case QMetaType::QDateTime: {
        // The file keeps milliseconds; so does the value in memory, so both compare alike.
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return std::nullopt;
        return QVariant(QDateTime::fromMSecsSinceEpoch(date.toMSecsSinceEpoch(), Qt::UTC));
    }
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString& text : value.toStringList())
            list.append(text);
        return QVariant(list);
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& element : value.toList()) {
            auto stored = canonical(element);
            if (!stored)
                return std::nullopt;
            list.append(*stored);
        }
        return QVariant(list);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            auto stored = canonical(it.value());
            if (!stored)
                return std::nullopt;
            map.insert(it.key(), *stored);
        }
        return QVariant(map);
    }
    default:
        return std::nullopt;
    }
}

bool identical(const QVariant& a, const QVariant& b)
{
    if (a.typeId() != b.typeId())
        return false;
    if (a.typeId() == QMetaType::Double && std::isnan(a.toDouble()))
        return std::isnan(b.toDouble());
    if (a.typeId() == QMetaType::QVariantList) {
        const QVariantList left = a.toList(), right = b.toList();
        return std::equal(left.cbegin(), left.cend(), right.cbegin(), right.cend(), identical);
    }
    if (a.typeId() == QMetaType::QVariantMap) {
        const QVariantMap left = a.toMap(), right = b.toMap();
        if (left.size() != right.size())
            return false;
        for (auto l = left.cbegin(), r = right.cbegin(); l != left.cend(); ++l, ++r) {
            if (l.key() != r.key() || !identical(l.value(), r.value()))
                return false;
        }
        return true;
    }
    return a == b;
}

bool roundTrips(const QVariant& value)
{
    const QJsonDocument reread = QJsonDocument::fromJson(QJsonDocument(QJsonArray{encode(value)}).toJson());
    if (!reread.isArray() || reread.array().size() != 1)
        return false;
    const std::optional<QVariant> decoded = decode(reread.array().at(0));
    return decoded && identical(*decoded, value);
}

QByteArray encodeDocument(const QVariantMap& values)
{
    QJsonObject object;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        object.insert(it.key(), encode(it.value()));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<QVariantMap> decodeDocument(const QByteArray& text, QStringList* undecodable)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QVariantMap values;
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        auto value = decode(it.value());
        if (!value) {
            if (undecodable)
                undecodable->append(it.key());
            continue;
        }
        values.insert(it.key(), *value);
    }
    return values;
}

}  // namespace hb::TypedJson
