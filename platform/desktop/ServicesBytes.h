#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstdint>
#include <optional>

namespace hb {

// Big-endian fields of service messages. The reader never reads past its bytes: a short or
// inconsistent field leaves it failed, and every later read gives none.
class BytesWriter {
public:
    void u8(std::uint8_t value) { m_bytes.append(char(value)); }
    void u32(std::uint32_t value)
    {
        char raw[4];
        qToBigEndian(value, raw);
        m_bytes.append(raw, 4);
    }
    void blob(const QByteArray& bytes)
    {
        u32(std::uint32_t(bytes.size()));
        m_bytes.append(bytes);
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

class BytesReader {
public:
    explicit BytesReader(const QByteArray& bytes) : m_bytes(bytes) {}

    std::optional<std::uint8_t> u8()
    {
        if (!take(1))
            return std::nullopt;
        return std::uint8_t(m_bytes[m_pos - 1]);
    }
    std::optional<std::uint32_t> u32()
    {
        if (!take(4))
            return std::nullopt;
        return qFromBigEndian<std::uint32_t>(m_bytes.constData() + m_pos - 4);
    }
    std::optional<QByteArray> blob()
    {
        const std::optional<std::uint32_t> size = u32();
        if (!size || !take(qsizetype(*size)))
            return std::nullopt;
        return m_bytes.mid(m_pos - qsizetype(*size), qsizetype(*size));
    }
    qsizetype remaining() const { return m_failed ? 0 : m_bytes.size() - m_pos; }
    bool atEnd() const { return !m_failed && m_pos == m_bytes.size(); }

private:
    bool take(qsizetype count)
    {
        if (m_failed || count > m_bytes.size() - m_pos) {
            m_failed = true;
            return false;
        }
        m_pos += count;
        return true;
    }
    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

}  // namespace hb
