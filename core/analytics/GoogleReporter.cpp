#include "core/analytics/GoogleReporter.h"

#include "platform/base/Bundle.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/HttpClient.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QSysInfo>
#include <QUuid>

#include <charconv>

namespace {

const QString kNotSet = QStringLiteral("(not set)");
const QString kClientIdKey = QStringLiteral("co.brannok.GoogleReporter.uniqueUserIdentifier");
const QString kTrackerIdInfoKey = QStringLiteral("HBAnalyticsTrackerId");
const QString kEndpointInfoKey = QStringLiteral("HBAnalyticsEndpoint");
// The protocol drops a hit without a type; a session hit names the application as its page.
const QString kSessionHitType = QStringLiteral("pageview");

// Every entry of `a` written over a copy of `b`.
GoogleReporter::Parameters merge(const GoogleReporter::Parameters& a, const GoogleReporter::Parameters& b)
{
    GoogleReporter::Parameters merged = b;
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        merged.insert(it.key(), it.value());
    return merged;
}

QString infoString(const QString& key)
{
    const QVariant value = hb::Bundle::objectForInfoDictionaryKey(key);
    return value.typeId() == QMetaType::QString ? value.toString() : kNotSet;
}

QString uniqueUserIdentifier()
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    QString identifier = defaults.stringForKey(kClientIdKey);
    if (identifier.isEmpty()) {
        identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        defaults.setObject(kClientIdKey, identifier);
        defaults.synchronize();
    }
    return identifier;
}

// A "C" or "POSIX" locale names no language.
QString userLanguage()
{
    const QString language = QLocale::system().uiLanguages().value(0);
    if (language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX"))
        return kNotSet;
    return language;
}

// Shortest form that reads back as the same double, keeping a fraction: 1440 -> "1440.0".
QString decimal(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char('n')))
        text += QLatin1String(".0");
    return text;
}

QString screenResolution()
{
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    const QRectF frame = screen ? QRectF(screen->geometry()) : QRectF();
    return decimal(frame.width()) + QLatin1Char('x') + decimal(frame.height());
}

}  // namespace

GoogleReporter& GoogleReporter::shared()
{
    static GoogleReporter reporter(QUrl(hb::Bundle::objectForInfoDictionaryKey(kEndpointInfoKey).toString()));
    return reporter;
}

QString GoogleReporter::bundledTrackerId()
{
    return hb::Bundle::objectForInfoDictionaryKey(kTrackerIdInfoKey).toString();
}

GoogleReporter::GoogleReporter(const QUrl& endpoint) : m_endpoint(endpoint) {}

void GoogleReporter::configure(const QString& trackerId)
{
    m_trackerId = trackerId.isEmpty() ? std::nullopt : std::optional<QString>(trackerId);
}

void GoogleReporter::session(bool start, const Parameters& parameters)
{
    if (!m_trackerId)
        return;
    const Parameters pairs = {
        {QStringLiteral("sc"), start ? QStringLiteral("start") : QStringLiteral("end")},
        {QStringLiteral("dp"), environment().appName},
    };
    send(kSessionHitType, merge(pairs, parameters));
}

void GoogleReporter::event(const QString& category, const QString& action, const QString& label,
                           const Parameters& parameters)
{
    const Parameters pairs = {
        {QStringLiteral("ec"), category},
        {QStringLiteral("ea"), action},
        {QStringLiteral("el"), label},
    };
    send(QStringLiteral("event"), merge(pairs, parameters));
}

void GoogleReporter::send(const std::optional<QString>& type, const Parameters& parameters)
{
    if (!m_trackerId)
        return;
    const Environment& values = environment();
    Parameters pairs = {
        {QStringLiteral("tid"), *m_trackerId},
        {QStringLiteral("aid"), values.appIdentifier},
        {QStringLiteral("cid"), values.uniqueUserIdentifier},
        {QStringLiteral("an"), values.appName},
        {QStringLiteral("av"), values.formattedVersion},
        {QStringLiteral("ua"), values.userAgent},
        {QStringLiteral("ul"), values.userLanguage},
        {QStringLiteral("sr"), values.screenResolution},
        {QStringLiteral("v"), QStringLiteral("1")},
    };
    if (type && !type->isEmpty())
        pairs.insert(QStringLiteral("t"), *type);
    const QUrl url = requestURL(merge(parameters, pairs));
    if (url.isValid())
        hb::HttpClient::get(url);
}

const GoogleReporter::Environment& GoogleReporter::environment()
{
    if (!m_environment) {
        Environment values;
        values.uniqueUserIdentifier = uniqueUserIdentifier();
        values.appName = infoString(QStringLiteral("CFBundleName"));
        values.appIdentifier = infoString(QStringLiteral("CFBundleIdentifier"));
        values.appVersion = infoString(QStringLiteral("CFBundleShortVersionString"));
        values.appBuild = infoString(QStringLiteral("CFBundleVersion"));
        values.formattedVersion = values.appVersion + QStringLiteral(" (") + values.appBuild + QLatin1Char(')');
        // No web view to ask: the browser form a Linux WebKit would give.
        values.userAgent = QStringLiteral("Mozilla/5.0 (X11; Linux ") + QSysInfo::currentCpuArchitecture()
                           + QStringLiteral(") AppleWebKit/603.2.4 (KHTML, like Gecko) ") + values.appName
                           + QLatin1Char('/') + values.appVersion;
        values.userLanguage = userLanguage();
        values.screenResolution = screenResolution();
        m_environment = values;
    }
    return *m_environment;
}

// Values are encoded for a query component, so "&", "=", "+" and "#" stay inside their value.
QUrl GoogleReporter::requestURL(const Parameters& parameters) const
{
    if (!m_endpoint.isValid() || m_endpoint.isRelative())
        return {};
    QByteArray query;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        query += it.key().toUtf8() + '=' + QUrl::toPercentEncoding(it.value()) + '&';
    query.chop(1);
    return m_endpoint.resolved(QUrl::fromEncoded("collect?" + query));
}
