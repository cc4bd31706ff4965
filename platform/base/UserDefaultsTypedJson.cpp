#include "platform/base/UserDefaultsTypedJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace hb::TypedJson {

namespace {

QJsonObject tagged(const char* type, const QJsonValue& value)
{
    return QJsonObject{{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("value"), value}};
}

bool isUndecoded(const QVariant& value)
{
    return value.typeId() == qMetaTypeId<UndecodedValue>();
}

// The texts of undecoded values written into a document: each stands there as a placeholder string
// until the document's text is made, then its own text takes the placeholder's place.
struct Splices {
    QString token;
    std::vector<QByteArray> texts;
};

QJsonValue encode(const QVariant& value, Splices* splices = nullptr)
{
    if (isUndecoded(value) && splices) {
        splices->texts.push_back(value.value<UndecodedValue>().json);
        return QStringLiteral("%1-%2").arg(splices->token).arg(splices->texts.size() - 1);
    }
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
            array.append(encode(element, splices));
        return tagged("array", array);
    }
    default: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key(), encode(it.value(), splices));
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

// Where the values of a document lie in its text, read from the text itself (which QJsonDocument has
// found well formed). Only asked when a value does not decode.
class RawText {
public:
    struct Span {
        qsizetype begin = 0;
        qsizetype end = 0;
    };

    explicit RawText(const QByteArray& text) : m_text(text) {}

    Span document() const
    {
        const qsizetype begin = skipSpace(0);
        return {begin, valueEnd(begin)};
    }
    QByteArray text(Span span) const { return m_text.mid(span.begin, span.end - span.begin); }

    // The member `key` of the object at `object`; the last of that name, as the parser keeps it.
    std::optional<Span> member(Span object, const QString& key) const
    {
        std::optional<Span> found;
        forEachMember(object, [&](Span name, Span value) {
            if (keyOf(name) == key)
                found = value;
        });
        return found;
    }
    std::optional<Span> element(Span array, qsizetype index) const
    {
        qsizetype i = skipSpace(array.begin + 1);
        for (qsizetype n = 0; i < array.end && m_text[i] != ']'; ++n) {
            const Span value{i, valueEnd(i)};
            if (n == index)
                return value;
            i = skipSpace(value.end);
            if (i < array.end && m_text[i] == ',')
                i = skipSpace(i + 1);
        }
        return std::nullopt;
    }

private:
    template <typename Visit>
    void forEachMember(Span object, Visit&& visit) const
    {
        qsizetype i = skipSpace(object.begin + 1);
        while (i < object.end && m_text[i] == '"') {
            const Span name{i, stringEnd(i)};
            i = skipSpace(name.end);
            if (i >= object.end || m_text[i] != ':')
                return;
            i = skipSpace(i + 1);
            const Span value{i, valueEnd(i)};
            visit(name, value);
            i = skipSpace(value.end);
            if (i < object.end && m_text[i] == ',')
                i = skipSpace(i + 1);
        }
    }
    QString keyOf(Span name) const
    {
        const QByteArray quoted = text(name);
        if (!quoted.contains('\\'))
            return QString::fromUtf8(quoted.mid(1, quoted.size() - 2));
        return QJsonDocument::fromJson("[" + quoted + "]").array().at(0).toString();
    }
    qsizetype skipSpace(qsizetype i) const
    {
        while (i < m_text.size() && (m_text[i] == ' ' || m_text[i] == '\t' || m_text[i] == '\n' || m_text[i] == '\r'))
            ++i;
        return i;
    }
    qsizetype stringEnd(qsizetype i) const
    {
        for (++i; i < m_text.size(); ++i) {
            if (m_text[i] == '\\')
                ++i;
            else if (m_text[i] == '"')
                return i + 1;
        }
        return i;
    }
    qsizetype valueEnd(qsizetype i) const
    {
        if (i >= m_text.size())
            return i;
        const char first = m_text[i];
        if (first == '"')
            return stringEnd(i);
        if (first == '{' || first == '[') {
            int depth = 0;
            while (i < m_text.size()) {
                const char c = m_text[i];
                if (c == '"') {
                    i = stringEnd(i);
                    continue;
                }
                if (c == '{' || c == '[')
                    ++depth;
                else if ((c == '}' || c == ']') && --depth == 0)
                    return i + 1;
                ++i;
            }
            return i;
        }
        while (i < m_text.size() && !QByteArrayView(",}] \t\r\n").contains(m_text[i]))
            ++i;
        return i;
    }

    const QByteArray& m_text;
};

QVariant undecoded(const RawText& raw, RawText::Span span)
{
    return QVariant::fromValue(UndecodedValue{raw.text(span)});
}

// Written afresh, for a value whose text was not found (it always is).
QVariant undecoded(const QJsonValue& json)
{
    const QByteArray inArray = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return QVariant::fromValue(UndecodedValue{inArray.mid(1, inArray.size() - 2)});
}

// The value as decode() reads it; where that fails, a list or a dictionary keeps the elements it can
// read and the others as they are written, and anything else is kept whole as it is written.
QVariant decodeKeeping(const QJsonValue& json, const RawText& raw, RawText::Span span)
{
    if (std::optional<QVariant> value = decode(json))
        return *value;
    const QJsonObject object = json.toObject();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonValue value = object.value(QStringLiteral("value"));
    const std::optional<RawText::Span> valueSpan = json.isObject() ? raw.member(span, QStringLiteral("value"))
                                                                   : std::nullopt;
    if (valueSpan && type == u"array" && value.isArray()) {
        QVariantList list;
        const QJsonArray elements = value.toArray();
        for (qsizetype i = 0; i < elements.size(); ++i) {
            const std::optional<RawText::Span> element = raw.element(*valueSpan, i);
            if (!element)
                return undecoded(raw, span);
            list.append(decodeKeeping(elements.at(i), raw, *element));
        }
        return list;
    }
    if (valueSpan && type == u"dict" && value.isObject()) {
        QVariantMap map;
        const QJsonObject members = value.toObject();
        for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
            const std::optional<RawText::Span> member = raw.member(*valueSpan, it.key());
            if (!member)
                return undecoded(raw, span);
            map.insert(it.key(), decodeKeeping(it.value(), raw, *member));
        }
        return map;
    }
    return undecoded(raw, span);
}

// Whether a single value, written and read back, is the same value.
bool leafRoundTrips(const QVariant& value)
{
    const QJsonDocument reread = QJsonDocument::fromJson(QJsonDocument(QJsonArray{encode(value)}).toJson());
    if (!reread.isArray() || reread.array().size() != 1)
        return false;
    const std::optional<QVariant> decoded = decode(reread.array().at(0));
    return decoded && identical(*decoded, value);
}

}  // namespace

std::optional<QVariant> canonical(const QVariant& value)
{
    if (isUndecoded(value))
        return value;
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
    if (isUndecoded(a))
        return a.value<UndecodedValue>() == b.value<UndecodedValue>();
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
    switch (value.typeId()) {
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        return std::all_of(list.cbegin(), list.cend(), [](const QVariant& element) { return roundTrips(element); });
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        return std::all_of(map.cbegin(), map.cend(), [](const QVariant& element) { return roundTrips(element); });
    }
    case QMetaType::Double:
    case QMetaType::QDateTime:
    case QMetaType::QString:
        return leafRoundTrips(value);
    default:
        return true;  // undecoded values are written back as they were read
    }
}

QByteArray encodeDocument(const QVariantMap& values)
{
    Splices splices{QStringLiteral("undecoded-") + QUuid::createUuid().toString(QUuid::Id128), {}};
    QJsonObject object;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        object.insert(it.key(), encode(it.value(), &splices));
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    for (std::size_t i = 0; i < splices.texts.size(); ++i) {
        const QByteArray placeholder = '"' + QStringLiteral("%1-%2").arg(splices.token).arg(i).toLatin1() + '"';
        text.replace(placeholder, splices.texts[i]);
    }
    return text;
}

std::optional<QVariantMap> decodeDocument(const QByteArray& text, QStringList* undecodable)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QVariantMap values;
    const QJsonObject object = document.object();
    std::optional<RawText> raw;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (std::optional<QVariant> value = decode(it.value())) {
            values.insert(it.key(), *value);
            continue;
        }
        if (undecodable)
            undecodable->append(it.key());
        if (!raw)
            raw.emplace(text);
        const std::optional<RawText::Span> member = raw->member(raw->document(), it.key());
        values.insert(it.key(), member ? decodeKeeping(it.value(), *raw, *member) : undecoded(it.value()));
    }
    return values;
}

}  // namespace hb::TypedJson
