#include "LoopbackCollector.h"
#include "TestEnvironment.h"

#include "core/analytics/GoogleReporter.h"
#include "platform/base/Bundle.h"
#include "platform/base/UserDefaults.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kTrackerId = QStringLiteral("UA-123456789-1");
const QString kClientIdKey = QStringLiteral("co.brannok.GoogleReporter.uniqueUserIdentifier");

QString info(const char* key)
{
    return hb::Bundle::objectForInfoDictionaryKey(QString::fromLatin1(key)).toString();
}

class GoogleReporterTest : public HarbrillTest {
protected:
    // The one hit a call sends.
    Hit hitOf(const std::function<void()>& call)
    {
        collector.clear();
        call();
        EXPECT_TRUE(collector.waitForHits(1));
        return collector.hits().empty() ? Hit() : collector.hits().front();
    }

    LoopbackCollector collector;
    GoogleReporter reporter{collector.endpoint()};
};

TEST_F(GoogleReporterTest, SendsNothingUntilATrackerIdIsConfigured)
{
    reporter.session(true);
    reporter.event(QStringLiteral("DataSource"), QStringLiteral("Finder"), QStringLiteral("HotKey"));
    reporter.send(QStringLiteral("event"), {{QStringLiteral("ec"), QStringLiteral("x")}});
    // The shipped information dictionary carries no id, so the program's own set-up sends nothing either.
    reporter.configure(GoogleReporter::bundledTrackerId());
    EXPECT_FALSE(reporter.trackerId());
    reporter.session(false);

    reporter.configure(kTrackerId);
    reporter.event(QStringLiteral("After"), QStringLiteral("Configure"));
    ASSERT_TRUE(collector.waitForHits(1));
    waitUntil([] { return false; }, 300);  // room for a stray earlier request to arrive
    ASSERT_EQ(collector.hits().size(), 1u);
    EXPECT_EQ(collector.hits()[0].fields.value("ec"), "After");
}

TEST_F(GoogleReporterTest, EventHitCarriesEveryStandardPair)
{
    reporter.configure(kTrackerId);
    const Hit hit = hitOf(
        [&] { reporter.event(QStringLiteral("DataSource"), QStringLiteral("Finder"), QStringLiteral("HotKey")); });

    EXPECT_EQ(hit.method, "GET");
    EXPECT_EQ(hit.path, "/collect");
    EXPECT_EQ(hit.pairCount, hit.fields.size());
    EXPECT_EQ(hit.fields.keys(),
              (QStringList{"aid", "an", "av", "cid", "ea", "ec", "el", "sr", "t", "tid", "ua", "ul", "v"}));
    const QString version = info("CFBundleShortVersionString");
    const QMap<QString, QString> expected = {
        {"tid", kTrackerId},
        {"aid", info("CFBundleIdentifier")},
        {"an", info("CFBundleName")},
        {"av", version + " (" + info("CFBundleVersion") + ")"},
        {"v", "1"},
        {"t", "event"},
        {"ec", "DataSource"},
        {"ea", "Finder"},
        {"el", "HotKey"},
    };
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_EQ(hit.fields.value(it.key()), it.value()) << it.key().toStdString();

    const QString clientId = hit.fields.value("cid");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(clientId).hasMatch())
        << clientId.toStdString();
    EXPECT_EQ(hb::UserDefaults::standard().stringForKey(kClientIdKey), clientId);

    const QString userAgent = hit.fields.value("ua");
    EXPECT_TRUE(userAgent.startsWith("Mozilla/5.0 (X11; Linux ")) << userAgent.toStdString();
    EXPECT_TRUE(userAgent.endsWith(") AppleWebKit/603.2.4 (KHTML, like Gecko) " + info("CFBundleName") + "/" + version))
        << userAgent.toStdString();

    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(hit.fields.value("sr"), QStringLiteral("%1.0x%2.0").arg(screen.width()).arg(screen.height()));
    EXPECT_FALSE(hit.fields.value("ul").isEmpty());
}

TEST_F(GoogleReporterTest, BuilderPairsWinAndCallerPairsWinOverStandardOnes)
{
    struct Case {
        const char* name;
        std::function<void(GoogleReporter&)> call;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"event keeps its category",
         [&](GoogleReporter& r) {
             r.event("Category", "Action", "", {{"ec", "Own"}});
         },
         "ec", "Category"},
        {"session keeps its control",
         [&](GoogleReporter& r) {
             r.session(true, {{"sc", "end"}});
         },
         "sc", "start"},
        {"caller's client id",
         [&](GoogleReporter& r) {
             r.event("Category", "Action", "", {{"cid", "Own"}});
         },
         "cid", "Own"},
        {"caller's extra pair",
         [&](GoogleReporter& r) {
             r.event("Category", "Action", "", {{"cd1", "Own"}});
         },
         "cd1", "Own"},
    };
    reporter.configure(kTrackerId);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Hit hit = hitOf([&] { c.call(reporter); });
        EXPECT_EQ(hit.fields.value(c.key), c.expected);
        EXPECT_EQ(hit.pairCount, hit.fields.size());
    }
}

TEST_F(GoogleReporterTest, EachValueStaysOneQueryValue)
{
    const QMap<QString, QString> values = {
        {"p1", "Copy & Move"},          {"p2", "a=b"},    {"p3", "1+1"}, {"p4", "#top"}, {"p5", "50%"},
        {"p6", "/home/me/Ünïcode dir"}, {"p7", "?x;y,z"},
    };
    reporter.configure(kTrackerId);
    const Hit hit = hitOf([&] { reporter.event("Category", "Action", "Hot Key", values); });

    EXPECT_TRUE(hit.rawQuery.contains("el=Hot%20Key")) << hit.rawQuery.toStdString();
    EXPECT_FALSE(hit.rawQuery.contains('+')) << hit.rawQuery.toStdString();
    EXPECT_EQ(hit.pairCount, hit.fields.size());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        EXPECT_EQ(hit.fields.value(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(GoogleReporterTest, SessionHitsStartAndEnd)
{
    reporter.configure(kTrackerId);
    for (const bool start : {true, false}) {
        SCOPED_TRACE(start);
        const Hit hit = hitOf([&] { reporter.session(start); });
        EXPECT_EQ(hit.fields.value("sc"), start ? "start" : "end");
        EXPECT_EQ(hit.fields.value("dp"), info("CFBundleName"));
        EXPECT_EQ(hit.fields.value("t"), "pageview");
        EXPECT_EQ(hit.fields.value("tid"), kTrackerId);
        EXPECT_FALSE(hit.fields.contains("ec"));
    }
}

// A second launch (a real process on the same user configuration) reports as the same client.
TEST_F(GoogleReporterTest, ClientIdSurvivesARelaunch)
{
    reporter.configure(kTrackerId);
    const QString firstId = hitOf([&] { reporter.event("Launch", "First"); }).fields.value("cid");
    ASSERT_FALSE(firstId.isEmpty());

    collector.clear();
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("LANG", "de_DE.UTF-8");
    environment.remove("LANGUAGE");
    environment.remove("LC_ALL");
    environment.remove("LC_MESSAGES");
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(HB_HIT_SENDER), {collector.endpoint().toString(), kTrackerId});
    ASSERT_TRUE(second.waitForStarted());
    const bool received = collector.waitForHits(1, 20000);
    second.closeWriteChannel();  // lets the second launch quit
    if (!second.waitForFinished(10000))
        second.kill();
    ASSERT_TRUE(received) << second.readAllStandardError().toStdString();

    const Hit hit = collector.hits().front();
    EXPECT_EQ(hit.fields.value("ea"), "Second");
    EXPECT_EQ(hit.fields.value("cid"), firstId);
    EXPECT_EQ(hit.fields.value("ul"), "de-DE");
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
}

}  // namespace
