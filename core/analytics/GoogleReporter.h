#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

#include <optional>

// Usage hits to Google Analytics (measurement protocol version 1), one HTTP GET each, fire and forget.
// Nothing is sent until a tracker id is configured. Call on the main thread.
class GoogleReporter {
public:
    using Parameters = QMap<QString, QString>;

    // The program's reporter, sending to the endpoint named in the information dictionary.
    static GoogleReporter& shared();
    // The analytics property id the build carries; empty when the build has none.
    static QString bundledTrackerId();

    // Hits go to "collect" resolved against `endpoint`; an invalid endpoint sends nothing.
    explicit GoogleReporter(const QUrl& endpoint);

    // An empty id leaves the reporter unconfigured.
    void configure(const QString& trackerId);
    std::optional<QString> trackerId() const { return m_trackerId; }

    // Session control: "sc" is "start" or "end", "dp" the application name.
    void session(bool start, const Parameters& parameters = {});
    void event(const QString& category, const QString& action, const QString& label = {},
               const Parameters& parameters = {});
    // One hit: the standard pairs, "t" when a hit type is given, then `parameters` over them.
    void send(const std::optional<QString>& type, const Parameters& parameters);

    GoogleReporter(const GoogleReporter&) = delete;
    GoogleReporter& operator=(const GoogleReporter&) = delete;

private:
    // Values that do not change during a run, computed at the first hit.
    struct Environment {
        QString uniqueUserIdentifier;
        QString userAgent;
        QString appName;
        QString appIdentifier;
        QString appVersion;
        QString appBuild;
        QString formattedVersion;
        QString userLanguage;
        QString screenResolution;
    };

    const Environment& environment();
    QUrl requestURL(const Parameters& parameters) const;

    QUrl m_endpoint;
    std::optional<QString> m_trackerId;
    std::optional<Environment> m_environment;
};
