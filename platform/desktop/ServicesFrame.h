#pragma once

#include "platform/desktop/Pasteboard.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace hb {

// The outcome of one service request, with a text for the person who asked: what was done, or why it
// was not (wholly) done.
struct ServiceAnswer {
    bool ok = false;
    QString text;
};

struct ServiceRequest {
    QString messageName;
    Pasteboard pasteboard;
};

// One message on the services socket: a 4-byte big-endian length, then that many bytes of body
// (magic "HBSV", version, kind, fields). A connection carries one request and its answer.
namespace ServicesFrame {
inline constexpr std::uint32_t kMaximumBodySize = 1u << 20;
inline constexpr std::uint8_t kVersion = 1;
inline constexpr qsizetype kLengthSize = 4;

QByteArray encodeRequest(const ServiceRequest& request);
QByteArray encodeAnswer(const ServiceAnswer& answer);

// The body length a length field announces; none when it is beyond the limit or too short for a body.
std::optional<std::uint32_t> bodyLength(const QByteArray& lengthField);
// A request, or the reason it is refused.
std::variant<ServiceRequest, QString> decodeRequest(const QByteArray& body);
std::optional<ServiceAnswer> decodeAnswer(const QByteArray& body);
}  // namespace ServicesFrame

}  // namespace hb
