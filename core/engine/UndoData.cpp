#include "core/engine/UndoData.h"

#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"

#include <QHash>
#include <QMap>

UndoData::UndoData(const QList<ShiftedItem>& items, Action type) : m_items(ShiftedItems::fromList(items)), m_type(type)
{
    HBURL& store = HBURL::shared();
    // Every scope is looked up before any is opened (inside an open scope a lookup would store a
    // bookmark of each item), then each is opened once for all the items it covers.
    const QList<std::optional<hb::URL>> scopes = store.bookmarkedURLs(destinationsOf(items));
    QList<std::pair<hb::URL, QList<qsizetype>>> groups;
    QHash<QString, qsizetype> groupOfScope;
    for (qsizetype i = 0; i < scopes.size(); ++i) {
        if (!scopes[i])
            continue;
        auto group = groupOfScope.constFind(scopes[i]->path());
        if (group == groupOfScope.constEnd()) {
            group = groupOfScope.insert(scopes[i]->path(), groups.size());
            groups.append({*scopes[i], {}});
        }
        groups[*group].second.append(i);
    }
    QMap<qsizetype, QByteArray> made;
    hb::Bookmark::Maker maker;
    for (const auto& [scope, members] : groups) {
        if (hb::startAccessingSecurityScopedResource(scope)) {
            for (const qsizetype i : members) {
                if (const auto data = bookmarkInOpenScope(items[i].destination, maker))
                    made.insert(i, *data);
            }
        }
        hb::stopAccessingSecurityScopedResource(scope);
    }
    for (auto entry = made.cbegin(); entry != made.cend(); ++entry)
        m_bookmarks.append(entry.key(), entry.value());
}

UndoData::UndoData(ShiftedItems items, PackedBookmarks bookmarks, Action type)
    : m_items(std::move(items)), m_bookmarks(std::move(bookmarks)), m_type(type)
{
}

std::optional<QByteArray> UndoData::bookmarkInOpenScope(const hb::URL& destination, hb::Bookmark::Maker& maker)
{
    return HBURL::shared().scopedBookmarkDataInOpenScope(destination, maker);
}

QMap<QString, QByteArray> UndoData::lastDestinationURLBookMarks() const
{
    QMap<QString, QByteArray> bookmarks;
    m_bookmarks.unpack(0, m_bookmarks.size(), [&](qsizetype key, const QByteArray& data) {
        bookmarks.insert(m_items.destination(key).path(), data);
    });
    return bookmarks;
}
