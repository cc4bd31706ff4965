// Times HBURL::bookmarkedURL for items under a bookmarked folder (it runs once per item of a shift),
// with its parts, beside `stat` reading the same items.
// Usage: bench_bookmark_resolution [calls]
#include "core/store/HBURL.h"
#include "platform/base/Locations.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Bookmark.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double microsecondsPerCall(int calls, const std::function<void(int)>& work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        work(i);
    return timer.nsecsElapsed() / 1e3 / calls;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::atoi(argv[1]) : 20000;
    constexpr int kItems = 1000;

    QTemporaryDir base;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, (base.path() + "/" + variable).toUtf8());
    hb::Locations::setUserDatabaseHome(base.path());
    const QString folder = base.path() + "/home/user/Documents";
    QDir().mkpath(folder + "/inbox/today");
    QStringList items;
    for (int i = 0; i < kItems; ++i) {
        items << QStringLiteral("%1/inbox/today/item%2.txt").arg(folder).arg(i);
        QFile file(items.last());
        file.open(QIODevice::WriteOnly);
    }
    // Some unrelated settings beside the bookmark, as in a real defaults file.
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    for (int i = 0; i < 50; ++i)
        defaults.setObject(QStringLiteral("setting%1").arg(i), i);
    hb::AccessRegistry::grantStanding(folder);
    const auto data = HBURL::shared().bookmark(hb::URL::fileURLWithPath(folder, true), false);
    if (!data) {
        std::fprintf(stderr, "could not bookmark %s\n", qPrintable(folder));
        return 1;
    }
    hb::AccessRegistry::resetForTesting();

    int found = 0;
    const double full = microsecondsPerCall(calls, [&](int i) {
        found += HBURL::shared().bookmarkedURL(hb::URL::fileURLWithPath(items[i % kItems])).has_value();
    });
    const double read = microsecondsPerCall(calls, [&](int i) {
        found += !defaults.dataForKey(i % 2 ? folder : items[i % kItems]).isEmpty();
    });
    bool stale = false;
    const double resolve = microsecondsPerCall(calls, [&](int) {
        found += hb::Bookmark::resolve(*data, hb::NSURLBookmarkResolutionWithSecurityScope, &stale).has_value();
    });
    const double create = microsecondsPerCall(calls, [&](int i) {
        found += hb::Bookmark::create(hb::URL::fileURLWithPath(items[i % kItems]),
                                      hb::NSURLBookmarkCreationWithSecurityScope, {}).has_value();
    });

    QElapsedTimer timer;
    timer.start();
    QProcess stat;
    stat.start("stat", QStringList{"--format=%d:%i"} + items);
    stat.waitForFinished(-1);
    const double statPerItem = timer.nsecsElapsed() / 1e3 / kItems;

    std::printf("bookmarkedURL(for:), item under a bookmarked folder  %7.2f us/call (%d calls)\n", full, calls);
    std::printf("  of which: defaults read                           %7.2f us\n", read);
    std::printf("            resolving the folder's bookmark          %7.2f us\n", resolve);
    std::printf("            failed item bookmark (no access)         %7.2f us\n", create);
    std::printf("stat --format=%%d:%%i, one process for %d items       %7.2f us/item\n", kItems, statPerItem);
    return found > 0 ? 0 : 1;
}
