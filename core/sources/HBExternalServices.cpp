#include "core/sources/HBExternalServices.h"

#include "core/engine/HBConstants.h"
#include "platform/base/NotificationCenter.h"

namespace {
QVariantList urlValues(const QList<QUrl>& urls)
{
    QVariantList values;
    for (const QUrl& url : urls)
        values.append(QVariant::fromValue(hb::URL::fromQUrl(url)));
    return values;
}
}  // namespace

bool HBExternalServices::performService(const QString& messageName, hb::Pasteboard& pasteboard,
                                        const QString& userData, QString* error)
{
    if (messageName == QLatin1String("addToLocation"))
        addToLocation(pasteboard, userData, error);
    else if (messageName == QLatin1String("moveHarbrill"))
        moveHarbrill(pasteboard, userData, error);
    else
        return false;
    return true;
}

void HBExternalServices::addToLocation(hb::Pasteboard& pboard, const QString&, QString*)
{
    const std::optional<QList<QUrl>> folders =
        pboard.readURLs({.fileURLsOnly = true, .contentsConformToTypes = {hb::UTTypeFolder, hb::UTTypeDirectory}});
    // The receivers expect a list: with nothing on the pasteboard there is nothing to post.
    if (folders)
        hb::NotificationCenter::defaultCenter().post(locationAddedNotification, nullptr,
                                                     {{locationAddedUserInfoKey, urlValues(*folders)}});
    pboard.clearContents();
}

void HBExternalServices::moveHarbrill(hb::Pasteboard& pboard, const QString&, QString*)
{
    const std::optional<QList<QUrl>> files = pboard.readURLs({.fileURLsOnly = true, .contentsConformToTypes = {}});
    if (!files)
        return;
    hb::NotificationCenter::defaultCenter().post(receivedDataNotification, nullptr,
                                                 {{receivedDataUserInfoKey, urlValues(*files)}});
}
