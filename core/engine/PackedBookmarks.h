#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Bookmark data of many items, keyed by the item's position in a shift. The data of neighbouring
// items differs in a few bytes (the name, the inode, the check sum at the end), so each is kept as
// what differs from the one before: tens of bytes per item instead of hundreds. Every 64th is kept
// whole, so reading one unpacks at most 64.
class PackedBookmarks {
public:
    // Keys must grow from call to call.
    void append(qsizetype key, const QByteArray& data);
    std::optional<QByteArray> find(qsizetype key) const;
    qsizetype size() const { return qsizetype(m_keys.size()); }
    qsizetype keyAt(qsizetype n) const { return m_keys[std::size_t(n)]; }
    QByteArray dataAt(qsizetype n) const;
    // The entries at positions `from` up to `to`, in order, each unpacked from the one before.
    void unpack(qsizetype from, qsizetype to,
                const std::function<void(qsizetype key, const QByteArray& data)>& visit) const;

private:
    void unpackEntry(std::size_t entry, QByteArray& data) const;

    static constexpr std::size_t kRun = 64;
    static constexpr qsizetype kTrailer = 8;

    std::vector<std::uint32_t> m_keys;
    std::vector<std::uint32_t> m_offsets;  // of each entry in m_bytes
    QByteArray m_bytes;
    QByteArray m_last;  // the data appended last, what the next one is compared with
};
