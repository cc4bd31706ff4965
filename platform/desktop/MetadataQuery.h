#pragma once

#include "platform/desktop/MetadataItem.h"
#include "platform/desktop/MetadataPredicate.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace hb {

// Posted on the default centre, object the query, once its results are gathered.
inline const QString NSMetadataQueryDidFinishGatheringNotification = QStringLiteral(
    "NSMetadataQueryDidFinishGatheringNotification");
// The scope of the user's home folder (the user database's home).
inline const QString NSMetadataQueryUserHomeScope = QStringLiteral("kMDQueryScopeHome");

struct SortDescriptor {
    QString key;  // kMDItemDateAdded orders by date added; other keys keep the gathered order
    bool ascending = true;
};

// A one-shot search of the folders in its scopes for the items its predicate accepts. Started on the
// main thread, it gathers on worker threads and hands its sorted results back to the main thread at
// once, announcing NSMetadataQueryDidFinishGatheringNotification. Stopping it (or letting it go)
// cancels a search that is still running; nothing it gathered after that is delivered.
class MetadataQuery : public QObject {
    Q_OBJECT
public:
    explicit MetadataQuery(QObject* parent = nullptr);
    ~MetadataQuery() override;

    // NSMetadataQueryUserHomeScope or absolute folder paths.
    void setSearchScopes(const QStringList& scopes) { m_scopes = scopes; }
    void setPredicate(std::optional<MetadataPredicate> predicate) { m_predicate = std::move(predicate); }
    void setSortDescriptors(std::vector<SortDescriptor> descriptors) { m_sortDescriptors = std::move(descriptors); }

    // False when there is no predicate or the query was started before.
    bool startQuery();
    void stopQuery();
    // Nothing is delivered live: there are no updates to hold back.
    void disableUpdates() {}

    bool isStarted() const { return m_started; }
    const std::vector<MetadataItem>& results() const { return m_results; }
    // Hands the results over, leaving none: a large list is not copied.
    std::vector<MetadataItem> takeResults() { return std::exchange(m_results, {}); }

private:
    void finishGathering(std::vector<MetadataItem> results);

    QStringList m_scopes;
    std::optional<MetadataPredicate> m_predicate;
    std::vector<SortDescriptor> m_sortDescriptors;
    std::vector<MetadataItem> m_results;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    std::thread m_gatherer;
    bool m_started = false;
    bool m_gathering = false;
    bool m_stopped = false;
};

}  // namespace hb
