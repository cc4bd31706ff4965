#pragma once

#include "core/engine/HBEngineTypes.h"
#include "platform/base/URL.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

// What an item looks like on disk: for a folder, the whole tree. Tells whether a copy was changed
// since it was made.
struct ItemFingerprint {
    std::uint64_t size = 0;            // bytes of the files (the tree's for a folder)
    std::int64_t entries = 0;          // the item and everything below it
    std::int64_t latestModificationNs = 0;  // the newest modification time in the tree

    // None when the item cannot be read. Needs access to the item.
    static std::optional<ItemFingerprint> of(const hb::URL& url);
    bool operator==(const ItemFingerprint&) const = default;
};

// One item a shift put somewhere, with the action that put it there. A copy keeps its fingerprint
// from right after it was made, so that undo removes it only while it is unchanged.
struct ShiftedItem {
    hb::URL source;
    hb::URL destination;
    Action action = Action::move;
    std::optional<ItemFingerprint> copyFingerprint;
};

QList<hb::URL> sourcesOf(const QList<ShiftedItem>& items);
QList<hb::URL> destinationsOf(const QList<ShiftedItem>& items);

// The record of a finished shift that the undo manager keeps: what went from where to where, and a
// fresh bookmark of every readable destination so that it can still be reached (and followed when it
// was moved or renamed) at undo time.
class UndoData {
public:
    UndoData(const QList<ShiftedItem>& items, Action type);

    QList<hb::URL> lastSourceURLs() const { return sourcesOf(m_items); }
    QList<hb::URL> lastDestinationURLs() const { return destinationsOf(m_items); }
    // Destination path -> security-scoped bookmark data of that item.
    const QMap<QString, QByteArray>& lastDestinationURLBookMarks() const { return m_bookmarks; }
    // The action in force at the end of the shift; each item keeps its own in items().
    Action lastType() const { return m_type; }
    const QList<ShiftedItem>& items() const { return m_items; }

private:
    QList<ShiftedItem> m_items;
    QMap<QString, QByteArray> m_bookmarks;
    Action m_type;
};
