#pragma once

#include "core/engine/DataSource.h"
#include "core/sources/FinderTalk.h"
#include "platform/base/URL.h"

#include <QList>

#include <memory>

class HBFinderData;
class HBUIDelegate;

// The files the next shift works on, from one source. Every URL passes one filter: it must be
// reachable through a stored access bookmark, readable, and not a volume; the rest is dropped and the
// user warned once. Publishes "sourceAvailable". Main thread only; made anew for every new source and
// emptied when abandoned.
class HBSourceManager : public FinderTalk, public std::enable_shared_from_this<HBSourceManager> {
public:
    // A file-manager source starts without URLs; they arrive after requestFinderSelection(). Its warning
    // goes through the UI delegate; without one it is not shown.
    static std::shared_ptr<HBSourceManager> create(DataSource dataSource, const QList<hb::URL>& urls,
                                                   HBUIDelegate* uiDelegate);

    DataSource dataSource() const { return m_dataSource; }
    const QList<hb::URL>& getSourceURLs() const { return m_sourceURLs; }
    const std::shared_ptr<HBFinderData>& finderDataManager() const { return m_finderDataManager; }
    bool sourceDead() const { return m_sourceDead; }

    // Asks the file manager once, for a file-manager source only.
    void requestFinderSelection();
    void finderURLs(const std::optional<QList<hb::URL>>& urls) override;
    // The source is dead for good: no URLs, and a late answer of the file manager is ignored.
    void emptySource();
    // Replaces the source URLs with the acceptable ones, in their given order.
    void filterReadableURLs(const QList<hb::URL>& urls);
    static void showNoReadPermissionAlert(HBUIDelegate& uiDelegate);

private:
    HBSourceManager(DataSource dataSource, HBUIDelegate* uiDelegate)
        : m_dataSource(dataSource), m_uiDelegate(uiDelegate)
    {
    }
    void acceptURLs(const QList<hb::URL>& urls);

    DataSource m_dataSource;
    HBUIDelegate* m_uiDelegate;
    QList<hb::URL> m_sourceURLs;
    std::shared_ptr<HBFinderData> m_finderDataManager;
    bool m_sourceDead = false;
};
