// Times HBURL::bookmarkedURL for items under a bookmarked folder (it runs once per item of a shift) beside
// `stat` reading the same items. Like with like: both sides are whole processes handed the same N paths,
// this program resolving each path's bookmark, stat reading each path's status.
// Usage: bench_bookmark_resolution [items] [rounds]
//        bench_bookmark_resolution --resolve <base> <items>   (the timed child: exits 0 only when every item resolved)
#include "BenchRounds.h"
#include "app/identity/HarbrillIdentity.h"
#include "core/store/HBURL.h"
#include "platform/base/Locations.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

QString documents(const QString& base)
{
    return base + "/home/user/Documents";
}

QString item(const QString& base, int i)
{
    return QStringLiteral("%1/inbox/today/item%2.txt").arg(documents(base)).arg(i);
}

void useBase(const QString& base)
{
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, (base + "/" + variable).toUtf8());
    hb::Locations::setUserDatabaseHome(base);
}

// The child: a later run of the program, where only the stored bookmark opens the folder.
int resolveAll(const QString& base, int items)
{
    useBase(base);
    const hb::URL folder = hb::URL::fileURLWithPath(documents(base), true);
    int resolved = 0;
    for (int i = 0; i < items; ++i) {
        const auto url = HBURL::shared().bookmarkedURL(hb::URL::fileURLWithPath(item(base, i)));
        resolved += url && *url == folder && url->isSecurityScoped();
    }
    return resolved == items ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--resolve") == 0)
        return resolveAll(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    const int items = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 9;

    QTemporaryDir temporary;
    const QString base = temporary.path();
    useBase(base);
    QDir().mkpath(documents(base) + "/inbox/today");
    std::vector<std::string> statCommand{"stat", "--format=%d:%i"};
    for (int i = 0; i < items; ++i) {
        QFile file(item(base, i));
        bench::check(file.open(QIODevice::WriteOnly), "cannot write %s", qPrintable(file.fileName()));
        statCommand.push_back(file.fileName().toStdString());
    }
    // Some unrelated settings beside the bookmark, as in a real defaults file.
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    for (int i = 0; i < 50; ++i)
        defaults.setObject(QStringLiteral("setting%1").arg(i), i);
    hb::AccessRegistry::grantStanding(documents(base));
    bench::check(HBURL::shared().bookmark(hb::URL::fileURLWithPath(documents(base), true), false).has_value(),
                 "could not bookmark %s", qPrintable(documents(base)));
    defaults.synchronize();

    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::vector<std::string> ourCommand{self, "--resolve", base.toStdString(), std::to_string(items)};
    const bench::Side ours{"bookmarkedURL(for:) (process)", {}, [&] { return bench::runTool(ourCommand); }, {}};
    const bench::Side stat{"stat --format=%d:%i (process)", {}, [&] { return bench::runTool(statCommand); }, {}};
    const bench::Side empty{"the same, 0 items (process)",
                            {},
                            [&] {
                                return bench::runTool({self, "--resolve", base.toStdString(), "0"});
                            },
                            {}};
    const bench::Side statOne{"stat of 1 item (process)",
                              {},
                              [&] {
                                  return bench::runTool({"stat", "--format=%d:%i", statCommand.back()});
                              },
                              {}};

    std::printf("%d items under a bookmarked folder; every side exits 0 only when each item was handled\n", items);
    const bench::Outcome full = bench::compare("Resolving N items (A) against stat of N items (B)", ours, stat, rounds);
    const bench::Outcome start = bench::compare("Start-up alone: ours with 0 items (A), stat with 1 (B)", empty,
                                                statOne, rounds);
    const double oursPerItem = (full.wallA.median - start.wallA.median) / items * 1e6;
    const double statPerItem = (full.wallB.median - start.wallB.median) / items * 1e6;
    std::printf("per item beyond start-up: ours %.2f us, stat %.2f us (%.2f x)\n", oursPerItem, statPerItem,
                statPerItem > 0 ? oursPerItem / statPerItem : 0.0);
    return 0;
}
