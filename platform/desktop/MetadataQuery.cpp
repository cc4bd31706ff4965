#include "platform/desktop/MetadataQuery.h"

#include "platform/base/Locations.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/desktop/MetadataWalk.h"

#include <algorithm>

namespace hb {

MetadataQuery::MetadataQuery(QObject* parent) : QObject(parent) {}

MetadataQuery::~MetadataQuery()
{
    m_cancelled->store(true);
    if (m_gatherer.joinable())
        m_gatherer.join();
}

bool MetadataQuery::startQuery()
{
    if (m_started || !m_predicate)
        return false;
    m_started = true;
    m_gathering = true;
    QStringList roots;
    for (const QString& scope : m_scopes) {
        const QString root = scope == NSMetadataQueryUserHomeScope ? Locations::userDatabaseHome() : scope;
        if (!root.isEmpty())
            roots << URL::normalisedPath(root);
    }
    roots.removeDuplicates();
    std::vector<SortDescriptor> sort = m_sortDescriptors;
    m_gatherer = std::thread([this, roots, predicate = *m_predicate, sort = std::move(sort), cancelled = m_cancelled] {
        std::vector<MetadataItem> items;
        for (const QString& root : roots) {
            std::vector<MetadataItem> found = MetadataWalk::gather(root, predicate, *cancelled);
            std::move(found.begin(), found.end(), std::back_inserter(items));
        }
        for (auto descriptor = sort.rbegin(); descriptor != sort.rend(); ++descriptor) {
            if (descriptor->key != kMDItemDateAdded)
                continue;
            const bool ascending = descriptor->ascending;
            std::stable_sort(items.begin(), items.end(), [ascending](const MetadataItem& a, const MetadataItem& b) {
                if (a.dateAdded() != b.dateAdded())
                    return ascending ? a.dateAdded() < b.dateAdded() : b.dateAdded() < a.dateAdded();
                return a.path() < b.path();  // the same order for items added at the same instant
            });
        }
        if (cancelled->load())
            return;
        // Queued to this object: the destructor joins this thread first, so `this` is alive when the call
        // is posted, and a posted call dies with the object.
        QMetaObject::invokeMethod(
            this,
            [this, found = std::make_shared<std::vector<MetadataItem>>(std::move(items)), cancelled] {
                if (!cancelled->load())
                    finishGathering(std::move(*found));
            },
            Qt::QueuedConnection);
    });
    return true;
}

void MetadataQuery::stopQuery()
{
    m_cancelled->store(true);
    m_gathering = false;
    m_stopped = true;
}

void MetadataQuery::finishGathering(std::vector<MetadataItem> results)
{
    m_results = std::move(results);
    m_gathering = false;
    NotificationCenter::defaultCenter().post(NSMetadataQueryDidFinishGatheringNotification, this);
}

}  // namespace hb
