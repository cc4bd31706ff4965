#include "core/sources/HBSourceManager.h"

#include "core/engine/HBDelayOnMain.h"
#include "core/sources/HBFinderData.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "core/ui/HBUIDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"

#include <QPointer>

namespace {

// A resource value of the item that is there and says yes or no; none when it cannot be read.
std::optional<bool> boolValue(const hb::URL& url, const QString& key)
{
    const auto value = hb::resourceValue(url, key);
    if (!value || !value->isValid())
        return std::nullopt;
    return value->toBool();
}

bool isAcceptable(const hb::URL& url)
{
    const std::optional<hb::URL> scoped = HBURL::shared().bookmarkedURL(url);
    if (!scoped)
        return false;
    const bool entered = hb::startAccessingSecurityScopedResource(*scoped);
    const std::optional<bool> isVolume = entered ? boolValue(url, hb::NSURLIsVolumeKey) : std::nullopt;
    const std::optional<bool> isReadable = entered ? boolValue(url, hb::NSURLIsReadableKey) : std::nullopt;
    hb::stopAccessingSecurityScopedResource(*scoped);
    return isVolume && isReadable && !*isVolume && *isReadable;
}

}  // namespace

std::shared_ptr<HBSourceManager> HBSourceManager::create(DataSource dataSource, const QList<hb::URL>& urls,
                                                         HBUIDelegate* uiDelegate)
{
    std::shared_ptr<HBSourceManager> manager(new HBSourceManager(dataSource, uiDelegate));
    manager->acceptURLs(urls);
    return manager;
}

void HBSourceManager::acceptURLs(const QList<hb::URL>& urls)
{
    filterReadableURLs(urls);
    if (!m_sourceURLs.isEmpty())
        hb::UserDefaults::standard().setBool(sourceAvailableDefaultsKey, true);
}

void HBSourceManager::requestFinderSelection()
{
    if (m_dataSource != DataSource::finder || m_finderDataManager)
        return;
    m_finderDataManager = std::make_shared<HBFinderData>();
    m_finderDataManager->getSelectedFinderURLsWithDelegate(shared_from_this());
}

void HBSourceManager::finderURLs(const std::optional<QList<hb::URL>>& urls)
{
    if (!m_finderDataManager || !urls || m_sourceDead || urls->isEmpty())
        return;
    acceptURLs(*urls);
}

void HBSourceManager::emptySource()
{
    m_sourceURLs.clear();
    m_finderDataManager.reset();
    m_sourceDead = true;
    hb::UserDefaults::standard().setBool(sourceAvailableDefaultsKey, false);
}

void HBSourceManager::filterReadableURLs(const QList<hb::URL>& urls)
{
    m_sourceURLs.clear();
    bool rejected = false;
    for (const hb::URL& url : urls) {
        if (isAcceptable(url))
            m_sourceURLs << url;
        else
            rejected = true;
    }
    // Later, so the caller's own work (publishing "sourceAvailable") is done first.
    // It is shown even when this source has been replaced meanwhile.
    if (rejected && m_uiDelegate)
        delayOnMain(0.4, [ui = QPointer(m_uiDelegate)] {
            if (ui)
                showNoReadPermissionAlert(*ui);
        });
}

void HBSourceManager::showNoReadPermissionAlert(HBUIDelegate& uiDelegate)
{
    uiDelegate.runAlert(
        {QStringLiteral(" No read permission to some selected items "),
         QStringLiteral("The items for which read permission are not granted will not be selected to Move or Copy"),
         {}});
}
