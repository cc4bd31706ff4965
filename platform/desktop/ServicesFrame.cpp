#include "platform/desktop/ServicesFrame.h"

#include "platform/base/ProgramIdentity.h"
#include "platform/desktop/ServicesBytes.h"

namespace hb::ServicesFrame {

namespace {
constexpr char kMagic[] = "HBSV";
constexpr std::uint8_t kRequest = 1;
constexpr std::uint8_t kAnswer = 2;
constexpr qsizetype kHeaderSize = 6;  // magic, version, kind
constexpr qsizetype kMaximumNameSize = 256;

QByteArray frame(std::uint8_t kind, const QByteArray& fields)
{
    BytesWriter body;
    for (int i = 0; i < 4; ++i)
        body.u8(std::uint8_t(kMagic[i]));
    body.u8(kVersion);
    body.u8(kind);
    BytesWriter out;
    out.blob(body.bytes() + fields);
    return out.bytes();
}

// Checks magic, version and kind; the reason it is refused otherwise.
std::optional<QString> headerProblem(BytesReader& reader, std::uint8_t kind)
{
    for (int i = 0; i < 4; ++i)
        if (reader.u8() != std::uint8_t(kMagic[i]))
            return QStringLiteral("The message is not a %1 service message.").arg(programIdentity().name);
    const std::optional<std::uint8_t> version = reader.u8();
    if (version != kVersion)
        return QStringLiteral("The message has version %1; this %2 speaks version %3.")
            .arg(QString::number(version.value_or(0)), programIdentity().name, QString::number(kVersion));
    if (reader.u8() != kind)
        return QStringLiteral("The message is of the wrong kind.");
    return std::nullopt;
}
}  // namespace

QByteArray encodeRequest(const ServiceRequest& request)
{
    BytesWriter fields;
    fields.blob(request.messageName.toUtf8());
    fields.blob(request.pasteboard.serialized());
    return frame(kRequest, fields.bytes());
}

QByteArray encodeAnswer(const ServiceAnswer& answer)
{
    BytesWriter fields;
    fields.u8(answer.ok ? 0 : 1);
    fields.blob(answer.text.toUtf8());
    return frame(kAnswer, fields.bytes());
}

std::optional<std::uint32_t> bodyLength(const QByteArray& lengthField)
{
    BytesReader reader(lengthField);
    const std::optional<std::uint32_t> length = reader.u32();
    if (!length || *length < kHeaderSize || *length > kMaximumBodySize)
        return std::nullopt;
    return length;
}

std::variant<ServiceRequest, QString> decodeRequest(const QByteArray& body)
{
    BytesReader reader(body);
    if (std::optional<QString> problem = headerProblem(reader, kRequest))
        return *problem;
    const std::optional<QByteArray> name = reader.blob();
    const std::optional<QByteArray> items = reader.blob();
    const QString malformed = QStringLiteral("The service message is malformed.");
    if (!name || !items || !reader.atEnd() || name->isEmpty() || name->size() > kMaximumNameSize)
        return malformed;
    const QString messageName = QString::fromUtf8(*name);
    if (messageName.toUtf8() != *name)
        return malformed;
    std::optional<Pasteboard> pasteboard = Pasteboard::fromSerialized(*items);
    if (!pasteboard)
        return malformed;
    return ServiceRequest{messageName, std::move(*pasteboard)};
}

std::optional<ServiceAnswer> decodeAnswer(const QByteArray& body)
{
    BytesReader reader(body);
    if (headerProblem(reader, kAnswer))
        return std::nullopt;
    const std::optional<std::uint8_t> status = reader.u8();
    const std::optional<QByteArray> text = reader.blob();
    if (!status || *status > 1 || !text || !reader.atEnd())
        return std::nullopt;
    return ServiceAnswer{*status == 0, QString::fromUtf8(*text)};
}

}  // namespace hb::ServicesFrame
