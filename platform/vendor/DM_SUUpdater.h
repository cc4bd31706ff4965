#pragma once

#include <QObject>
#include <QUrl>
#include <QVersionNumber>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Update checks against an appcast feed (RSS items whose enclosure carries sparkle:version and
// sparkle:shortVersionString). Only a build whose information resource names a feed ("SUFeedURL") has
// an updater; a packaged build has none, since the package manager updates it.
class DM_SUUpdater : public QObject {
    Q_OBJECT
public:
    // The updater of the feed in the information resource, made on first use; null without a feed.
    static DM_SUUpdater* sharedUpdater();

    explicit DM_SUUpdater(QUrl feedURL, QObject* parent = nullptr);
    ~DM_SUUpdater() override;

    const QUrl& feedURL() const { return m_feedURL; }

    // A silent check: the user hears of it only when a newer version exists.
    void checkForUpdatesInBackground();
    // A check the user asked for: it answers in every case (newer version, up to date, failure).
    void checkForUpdates(QObject* sender);

    // The newest item of an appcast, or none when it lists no version.
    struct Item {
        QVersionNumber version;
        QString shortVersion;
        QUrl downloadURL;
    };
    static std::optional<Item> newestItem(const QByteArray& appcast);

signals:
    // A check has ended and its answer, if any, has been given.
    void checkFinished();

private:
    void check(bool userInitiated);
    void handleReply(QNetworkReply* reply, bool userInitiated);

    QUrl m_feedURL;
    std::unique_ptr<QNetworkAccessManager> m_network;
};
