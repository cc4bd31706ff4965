#include "core/sources/HBExternalServices.h"

#include "core/store/HBConstants.h"
#include "platform/base/NotificationCenter.h"

#include <QFileInfo>
#include <QSet>

namespace {
QVariantList urlValues(const QList<QUrl>& urls)
{
    QVariantList values;
    for (const QUrl& url : urls)
        values.append(QVariant::fromValue(hb::URL::fromQUrl(url)));
    return values;
}

QVariantMap userInfo(const QString& key, const QList<QUrl>& urls, const HBServiceReplyRef& reply)
{
    QVariantMap info{{key, urlValues(urls)}};
    if (reply)
        info.insert(serviceReplyUserInfoKey, QVariant::fromValue(reply));
    return info;
}

// Notes the pasteboard's items that the read left out, and why.
void noteLeftOut(const hb::Pasteboard& pasteboard, const QList<QUrl>& read, HBServiceReply& reply)
{
    const QSet<QUrl> kept(read.cbegin(), read.cend());
    for (const QUrl& item : pasteboard.items()) {
        const std::optional<QUrl> local = hb::Pasteboard::localFileURL(item);
        if (!local) {
            reply.note(item.toDisplayString(), HBServiceReply::Outcome::notAFileOnThisComputer);
            continue;
        }
        if (kept.contains(*local))
            continue;
        const QString path = local->path();
        const QFileInfo info(path);
        reply.note(path, info.exists() || info.isSymLink() ? HBServiceReply::Outcome::notAFolder
                                                           : HBServiceReply::Outcome::missing);
    }
}
}  // namespace

bool HBExternalServices::performService(const QString& messageName, hb::Pasteboard& pasteboard, const QString& userData,
                                        hb::ServiceAnswer& answer)
{
    const auto reply = std::make_shared<HBServiceReply>();
    QString error;
    if (messageName == QLatin1String("addToLocation"))
        addToLocation(pasteboard, userData, &error, reply);
    else if (messageName == QLatin1String("moveHarbrill"))
        moveHarbrill(pasteboard, userData, &error, reply);
    else
        return false;
    answer = error.isEmpty() ? reply->answer(messageName) : hb::ServiceAnswer{false, error};
    return true;
}

void HBExternalServices::addToLocation(hb::Pasteboard& pboard, const QString&, QString* error,
                                       const HBServiceReplyRef& reply)
{
    const std::optional<QList<QUrl>> folders = pboard.readURLs(
        {.fileURLsOnly = true, .contentsConformToTypes = {hb::UTTypeFolder, hb::UTTypeDirectory}});
    // The receivers expect a list: with nothing on the pasteboard there is nothing to post.
    if (folders) {
        if (reply)
            noteLeftOut(pboard, *folders, *reply);
        hb::NotificationCenter::defaultCenter().post(locationAddedNotification, nullptr,
                                                     userInfo(locationAddedUserInfoKey, *folders, reply));
    } else if (error) {
        *error = QStringLiteral("Name at least one folder for addToLocation.");
    }
    pboard.clearContents();
}

void HBExternalServices::moveHarbrill(hb::Pasteboard& pboard, const QString&, QString* error,
                                      const HBServiceReplyRef& reply)
{
    const std::optional<QList<QUrl>> files = pboard.readURLs({.fileURLsOnly = true, .contentsConformToTypes = {}});
    if (!files) {
        if (error)
            *error = QStringLiteral("Name at least one file or folder for moveHarbrill.");
        return;
    }
    if (reply)
        noteLeftOut(pboard, *files, *reply);
    hb::NotificationCenter::defaultCenter().post(receivedDataNotification, nullptr,
                                                 userInfo(receivedDataUserInfoKey, *files, reply));
}
