#pragma once

#include "core/engine/HBEngineTypes.h"
#include "core/engine/ShiftDestinations.h"
#include "platform/base/URL.h"
#include "platform/files/Trash.h"

#include <QHash>
#include <QList>

#include <cstdint>
#include <optional>
#include <vector>

// What an item looks like on disk: for a folder, the whole tree. Tells whether a copy was changed
// since it was made.
struct ItemFingerprint {
    std::uint64_t size = 0;                 // bytes of the files (the tree's for a folder)
    std::int64_t entries = 0;               // the item and everything below it
    std::int64_t latestModificationNs = 0;  // the newest modification time in the tree

    // None when the item cannot be read. Needs access to the item.
    static std::optional<ItemFingerprint> of(const hb::URL& url);
    bool operator==(const ItemFingerprint&) const = default;
};

// One item a shift put somewhere, with the action that put it there. A copy keeps its fingerprint
// from right after it was made, so that undo removes it only while it is unchanged. An item that
// replaced another names where that one went in the trash, so that undo puts it back.
struct ShiftedItem {
    hb::URL source;
    hb::URL destination;
    Action action = Action::move;
    std::optional<ItemFingerprint> copyFingerprint;
    std::optional<hb::TrashedItem> replaced;
};

QList<hb::URL> sourcesOf(const QList<ShiftedItem>& items);
QList<hb::URL> destinationsOf(const QList<ShiftedItem>& items);

// The items a shift put somewhere, in the order it did so, kept as positions in its own source and
// destination lists: a few bytes per item, whatever the length of the paths.
class ShiftedItems {
public:
    ShiftedItems() = default;
    ShiftedItems(QList<hb::URL> sources, ShiftDestinations destinations);
    static ShiftedItems fromList(const QList<ShiftedItem>& items);

    void append(qsizetype sourceIndex, Action action, std::optional<ItemFingerprint> fingerprint,
                std::optional<hb::TrashedItem> replaced = std::nullopt);
    // The destinations as they ended up (with every " Copy" name given).
    void setDestinations(ShiftDestinations destinations) { m_destinations = std::move(destinations); }

    qsizetype size() const { return qsizetype(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    hb::URL source(qsizetype k) const { return m_sources.at(m_records[std::size_t(k)].index); }
    hb::URL destination(qsizetype k) const;
    Action action(qsizetype k) const { return m_records[std::size_t(k)].action; }
    std::optional<ItemFingerprint> fingerprint(qsizetype k) const;
    std::optional<hb::TrashedItem> replaced(qsizetype k) const;
    ShiftedItem at(qsizetype k) const;
    QList<ShiftedItem> toList() const;

private:
    struct Record {
        std::uint32_t index;
        Action action;
    };
    QList<hb::URL> m_sources;
    ShiftDestinations m_destinations;
    std::vector<Record> m_records;
    QHash<qsizetype, ItemFingerprint> m_fingerprints;  // by position in this list; copies only
    QHash<qsizetype, hb::TrashedItem> m_replaced;      // by position; items that replaced another
};
