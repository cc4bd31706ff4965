#pragma once

#include "core/engine/HBEngineTypes.h"
#include "core/engine/PackedBookmarks.h"
#include "core/engine/ShiftedItems.h"
#include "platform/base/URL.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace hb::Bookmark {
class Maker;
}

// The record of a finished shift that the undo manager keeps: what went from where to where, and a
// fresh bookmark of every readable destination so that it can still be reached (and followed when it
// was moved or renamed) at undo time.
class UndoData {
public:
    // Bookmarks each readable destination itself.
    UndoData(const QList<ShiftedItem>& items, Action type);
    // With the bookmarks its shift made as it went (keyed by the position in `items`).
    UndoData(ShiftedItems items, PackedBookmarks bookmarks, Action type);

    // Fresh bookmark data of a destination item whose covering scope the caller holds open; none when
    // the item is not readable or no data can be made.
    static std::optional<QByteArray> bookmarkInOpenScope(const hb::URL& destination, hb::Bookmark::Maker& maker);

    QList<hb::URL> lastSourceURLs() const { return sourcesOf(m_items.toList()); }
    QList<hb::URL> lastDestinationURLs() const { return destinationsOf(m_items.toList()); }
    // Destination path -> security-scoped bookmark data of that item.
    QMap<QString, QByteArray> lastDestinationURLBookMarks() const;
    // The action in force at the end of the shift; each item keeps its own in items().
    Action lastType() const { return m_type; }
    const ShiftedItems& items() const { return m_items; }
    // The bookmark data of the items, keyed by their position in items() (read in order with
    // PackedBookmarks::unpack).
    const PackedBookmarks& bookmarks() const { return m_bookmarks; }

private:
    ShiftedItems m_items;
    PackedBookmarks m_bookmarks;
    Action m_type;
};
