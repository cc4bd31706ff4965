#pragma once

#include "platform/base/URL.h"
#include "platform/files/Bookmark.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>
#include <utility>

// The one place that makes, stores, resolves and refreshes the security-scoped bookmarks that let the
// program reach user folders, and that answers access questions about them. Stored bookmarks live in
// the standard defaults, one entry per item keyed by its path; every write or removal is synchronized
// at once. No cache: every lookup reads the defaults. Shifts on several threads use the store at once,
// so each lookup, with the refresh of a stale entry (removed, then stored anew), holds the store's lock:
// no lookup sees the entry missing halfway through another's refresh.
//
// Access rule: a caller starts access on the URL that bookmarkedURL() returns (the item's own scoped
// URL or its nearest bookmarked ancestor's), works on the item's own URL, and stops access when done.
class HBURL {
public:
    static HBURL& shared();

    // The stored bookmark of the item; with none stored (or renew) one is made and stored, which
    // succeeds only while the process has access to the item.
    std::optional<QByteArray> bookmark(const hb::URL& url, bool renew);
    // The resolved URL (or none) and whether the data was stale. A stale bookmark of an item on a
    // volume that is not internal gives none.
    std::pair<std::optional<hb::URL>, bool> resolveBookmark(const QByteArray& data);
    // Resolves data found under `storedFor`'s path, refreshing it while stale and moving the entry to
    // the item's current path. The URL given is security-scoped.
    std::optional<hb::URL> resolveStoredBookmark(const QByteArray& data, const hb::URL& storedFor);
    // Whether the bookmarked item lies on a volume that is not mounted (it may come back with it).
    bool isOnAbsentVolume(const QByteArray& data) const;
    // A security-scoped URL of the item itself or of its nearest bookmarked ancestor. An item covered
    // by a bookmarked ancestor gets no entry of its own; one without gets one where access allows.
    std::optional<hb::URL> bookmarkedURL(const hb::URL& url);
    // bookmarkedURL() of each item, in order, for a run of items (say, all that one shift put
    // somewhere); the walk up from a folder is made once for the items of that folder that have no
    // bookmark of their own.
    QList<std::optional<hb::URL>> bookmarkedURLs(const QList<hb::URL>& urls);

    qint64 directoryContents(const hb::URL& url);  // direct entries, hidden ones included
    bool isReadable(const hb::URL& url);
    bool isWritable(const hb::URL& url);
    bool isVolume(const hb::URL& url);
    bool boolResource(const hb::URL& url, const QString& key);
    // Total byte size of the files in the tree and how many of them were counted.
    std::pair<quint64, qint64> directorySize(const hb::URL& url);

    // Fresh bookmark data of the item, not stored (the undo record keeps it).
    std::optional<QByteArray> scopedBookmarkData(const hb::URL& url);
    // The same data for a readable item (none for another) whose covering scope the caller already
    // holds open; `maker` may serve a whole run of items.
    std::optional<QByteArray> scopedBookmarkDataInOpenScope(const hb::URL& url, hb::Bookmark::Maker& maker);
    // Resolves data kept outside the store, refreshing it while stale; stores nothing.
    std::optional<hb::URL> resolveRefreshingBookmark(const QByteArray& data);

    HBURL(const HBURL&) = delete;
    HBURL& operator=(const HBURL&) = delete;

private:
    HBURL() = default;
    // Resolved for `url`: the nearest ancestor with a stored bookmark (none when it no longer
    // resolves: the walk stops there); no value when no ancestor has one.
    std::optional<std::optional<hb::URL>> storedAncestorURL(const hb::URL& url);

    std::recursive_mutex m_lock;
};
