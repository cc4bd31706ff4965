#include "platform/vendor/DM_SUUpdater.h"

#include "platform/base/Bundle.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Workspace.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QXmlStreamReader>

DM_SUUpdater* DM_SUUpdater::sharedUpdater()
{
    static DM_SUUpdater* shared = []() -> DM_SUUpdater* {
        const QUrl feed(hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("SUFeedURL")).toString());
        return feed.isValid() && !feed.isEmpty() ? new DM_SUUpdater(feed) : nullptr;
    }();
    return shared;
}

DM_SUUpdater::DM_SUUpdater(QUrl feedURL, QObject* parent)
    : QObject(parent), m_feedURL(std::move(feedURL)), m_network(std::make_unique<QNetworkAccessManager>())
{
}

DM_SUUpdater::~DM_SUUpdater() = default;

void DM_SUUpdater::checkForUpdatesInBackground()
{
    check(false);
}

void DM_SUUpdater::checkForUpdates(QObject*)
{
    check(true);
}

void DM_SUUpdater::check(bool userInitiated)
{
    QNetworkReply* reply = m_network->get(QNetworkRequest(m_feedURL));
    connect(reply, &QNetworkReply::finished, this, [this, reply, userInitiated] {
        reply->deleteLater();
        handleReply(reply, userInitiated);
        emit checkFinished();
    });
}

std::optional<DM_SUUpdater::Item> DM_SUUpdater::newestItem(const QByteArray& appcast)
{
    std::optional<Item> newest;
    QXmlStreamReader reader(appcast);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"enclosure")
            continue;
        Item item;
        for (const QXmlStreamAttribute& attribute : reader.attributes()) {
            if (attribute.qualifiedName() == u"sparkle:version")
                item.version = QVersionNumber::fromString(attribute.value().toString());
            else if (attribute.qualifiedName() == u"sparkle:shortVersionString")
                item.shortVersion = attribute.value().toString();
            else if (attribute.name() == u"url")
                item.downloadURL = QUrl(attribute.value().toString());
        }
        if (!item.version.isNull() && (!newest || item.version > newest->version))
            newest = item;
    }
    return newest;
}

void DM_SUUpdater::handleReply(QNetworkReply* reply, bool userInitiated)
{
    const QString current
        = hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString")).toString();
    const QString& program = hb::programIdentity().name;
    hb::Alert alert;
    if (reply->error() != QNetworkReply::NoError) {
        if (!userInitiated)
            return;
        alert.messageText = QStringLiteral("Update check failed");
        alert.informativeText
            = QStringLiteral("%1 could not read its update feed: %2").arg(program, reply->errorString());
        alert.runModal();
        return;
    }
    const QVersionNumber build = QVersionNumber::fromString(
        hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("CFBundleVersion")).toString());
    const std::optional<Item> newest = newestItem(reply->readAll());
    if (!newest || newest->version <= build) {
        if (!userInitiated)
            return;
        alert.alertStyle = hb::AlertStyle::informational;
        alert.messageText = QStringLiteral("You're up to date!");
        alert.informativeText = QStringLiteral("%1 %2 is the newest version available.").arg(program, current);
        alert.runModal();
        return;
    }
    alert.alertStyle = hb::AlertStyle::informational;
    alert.messageText = QStringLiteral("A new version of %1 is available!").arg(program);
    alert.informativeText = QStringLiteral("%1 %2 is available; you have %3. Download it now?")
                                .arg(program,
                                     newest->shortVersion.isEmpty() ? newest->version.toString() : newest->shortVersion,
                                     current);
    alert.addButtonWithTitle(QStringLiteral("Download"));
    alert.addButtonWithTitle(QStringLiteral("Later"));
    if (alert.runModal() == hb::NSAlertFirstButtonReturn)
        hb::Workspace::openURL(newest->downloadURL);
}
