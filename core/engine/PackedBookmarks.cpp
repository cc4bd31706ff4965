#include "core/engine/PackedBookmarks.h"

#include <algorithm>
#include <cstring>

// An entry is kept whole, or as: the length of the prefix shared with the previous data, the length of
// the suffix shared just before the trailer, the bytes between the two, and the trailer.
namespace {

constexpr std::uint32_t kWhole = 0xffffffffu;

void putLength(QByteArray& bytes, std::uint32_t length)
{
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
}

std::uint32_t takeLength(const char*& at)
{
    std::uint32_t length = 0;
    std::memcpy(&length, at, sizeof length);
    at += sizeof length;
    return length;
}

}  // namespace

void PackedBookmarks::append(qsizetype key, const QByteArray& data)
{
    m_keys.push_back(std::uint32_t(key));
    m_offsets.push_back(std::uint32_t(m_bytes.size()));
    const bool whole = (m_keys.size() - 1) % kRun == 0 || data.size() < kTrailer || m_last.size() < kTrailer;
    if (whole) {
        putLength(m_bytes, kWhole);
        putLength(m_bytes, std::uint32_t(data.size()));
        m_bytes.append(data);
        m_last = data;
        return;
    }
    const qsizetype body = data.size() - kTrailer;
    const qsizetype lastBody = m_last.size() - kTrailer;
    qsizetype prefix = 0;
    while (prefix < body && prefix < lastBody && data[prefix] == m_last[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < body - prefix && suffix < lastBody - prefix
           && data[body - 1 - suffix] == m_last[lastBody - 1 - suffix])
        ++suffix;
    putLength(m_bytes, std::uint32_t(prefix));
    putLength(m_bytes, std::uint32_t(suffix));
    putLength(m_bytes, std::uint32_t(body - prefix - suffix));
    m_bytes.append(data.constData() + prefix, body - prefix - suffix);
    m_bytes.append(data.constData() + body, kTrailer);
    m_last = data;
}

// Makes `data`, the entry before, into the entry at `entry`.
void PackedBookmarks::unpackEntry(std::size_t entry, QByteArray& data) const
{
    const char* at = m_bytes.constData() + m_offsets[entry];
    const std::uint32_t prefix = takeLength(at);
    if (prefix == kWhole) {
        const std::uint32_t size = takeLength(at);
        data = QByteArray(at, size);
        return;
    }
    const std::uint32_t suffix = takeLength(at);
    const std::uint32_t middle = takeLength(at);
    const qsizetype lastBody = data.size() - kTrailer;
    QByteArray next;
    next.reserve(prefix + middle + suffix + kTrailer);
    next.append(data.constData(), prefix);
    next.append(at, middle);
    next.append(data.constData() + lastBody - suffix, suffix);
    next.append(at + middle, kTrailer);
    data = std::move(next);
}

QByteArray PackedBookmarks::dataAt(qsizetype n) const
{
    QByteArray data;
    for (std::size_t entry = std::size_t(n) - std::size_t(n) % kRun; entry <= std::size_t(n); ++entry)
        unpackEntry(entry, data);
    return data;
}

void PackedBookmarks::unpack(qsizetype from, qsizetype to,
                             const std::function<void(qsizetype key, const QByteArray& data)>& visit) const
{
    QByteArray data;
    for (std::size_t entry = std::size_t(from) - std::size_t(from) % kRun; entry < std::size_t(to); ++entry) {
        unpackEntry(entry, data);
        if (entry >= std::size_t(from))
            visit(qsizetype(m_keys[entry]), data);
    }
}

std::optional<QByteArray> PackedBookmarks::find(qsizetype key) const
{
    const auto found = std::lower_bound(m_keys.begin(), m_keys.end(), std::uint32_t(key));
    if (found == m_keys.end() || *found != std::uint32_t(key))
        return std::nullopt;
    return dataAt(found - m_keys.begin());
}
