#pragma once

#include "platform/base/NotificationCenter.h"
#include "platform/desktop/MetadataItem.h"
#include "platform/desktop/MetadataPredicate.h"
#include "platform/desktop/MetadataQuery.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Told the results of a recent-files search, once per search, on the main thread.
class recentViewProtocol {
public:
    virtual ~recentViewProtocol() = default;
    virtual void updateRecentFiles(std::vector<hb::MetadataItem> items) = 0;
};

// One search at a time for the recent-files browser: the items added under the home folder within a
// date window, narrowed to one file-type group by its display name, newest first. Each search is a new
// one-shot query; nothing runs on after its results are handed over. Main thread only.
class MetadataQueryUtils {
public:
    MetadataQueryUtils() = default;
    ~MetadataQueryUtils();
    MetadataQueryUtils(const MetadataQueryUtils&) = delete;
    MetadataQueryUtils& operator=(const MetadataQueryUtils&) = delete;

    struct QueryDeleter {
        void operator()(hb::MetadataQuery* query) const;  // later, never inside the query's own call
    };
    // From the start of a search until its results are delivered; the browser stops and clears it
    // before asking for a new search.
    std::unique_ptr<hb::MetadataQuery, QueryDeleter> metadataQuery;
    recentViewProtocol* delegate = nullptr;

    // The value a group name is compared by, none for a name outside the groups (exact match).
    static std::optional<QString> contentType(const QString& fileType);
    // The predicate format and its arguments for a group, none for a name outside the groups.
    struct PredicateFormat {
        QString format;
        std::vector<hb::MetadataValue> arguments;
    };
    static std::optional<PredicateFormat> predicateFormat(const QString& fileType, hb::MetadataDate from,
                                                          hb::MetadataDate to);

    // Both bounds are exclusive. A name outside the groups searches nothing and delivers nothing.
    void startQuery(const QString& fileType, hb::MetadataDate from, hb::MetadataDate to);
    void queryDidFinish(const hb::Notification& notification);

    // Withdraws the gathering registration for the held query, if any.
    void removeGatheringObserver();
};
