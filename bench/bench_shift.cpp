// Shifts through the operations manager side by side with the shell tools on the same files:
// a move of many small files (one source each), a copy of a tree of small files, a large copy with
// the progress window open, and the CPU cost of the progress poll.
// Usage: bench_shift [small files, default 20000] [large copy MiB, default 1024] [parts, default move,tree,large]
#include "core/engine/HBFileShiftOperations.h"
#include "core/engine/HBFileShiftServices.h"
#include "core/engine/HBProgressWindowController.h"
#include "core/store/HBURL.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace {

double seconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e9; }

double threadCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double shell(const QString& command)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), command});
    return seconds(timer);
}

void writeFiles(const QString& folder, int count, int size, int perFolder = 0)
{
    const QByteArray data(size, 'd');
    for (int i = 0; i < count; ++i) {
        const QString sub = perFolder ? QStringLiteral("/s%1").arg(i / perFolder) : QString();
        if (perFolder && i % perFolder == 0)
            QDir().mkpath(folder + sub);
        QFile file(folder + sub + QStringLiteral("/f%1").arg(i));
        file.open(QIODevice::WriteOnly);
        file.write(data);
    }
}

void grantThroughBookmark(const QString& path)
{
    hb::AccessRegistry::grantStanding(path);
    HBURL::shared().bookmark(hb::URL::fileURLWithPath(path), false);
    hb::AccessRegistry::resetForTesting();
}

struct ShiftTiming {
    double creation = 0; // the request itself: sizing the sources and the free-space check
    double work = 0;     // from the request until the operation is complete
    double handled = 0;  // until the poll has handled it (undo record made)
    double mainThreadCpu = 0;  // after the request: poll ticks, rows and the event loop
};

// Runs one shift through the manager; the event loop runs meanwhile, as in the program.
ShiftTiming shift(HBFileShiftOperations& manager, const QList<hb::URL>& sources, const QString& destination,
                  Action action)
{
    ShiftTiming timing;
    QElapsedTimer timer;
    timer.start();
    manager.shiftFiles(sources, hb::URL::fileURLWithPath(destination), action, false, DataSource::finder);
    timing.creation = seconds(timer);
    // The request (sizing the sources) is not the poll: count the main thread's time from here on.
    const double cpuBefore = threadCpuSeconds();
    // The work item's end is taken on a thread of its own, so the main thread only runs its loop.
    std::thread waiter([&timing, &timer, block = manager.operations().rbegin()->second->blockOperation] {
        block->waitUntilFinished();
        timing.work = seconds(timer);
    });
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (manager.operations().empty())
            loop.quit();
    });
    check.start(50);
    loop.exec();
    timing.handled = seconds(timer);
    waiter.join();
    timing.mainThreadCpu = threadCpuSeconds() - cpuBefore;
    return timing;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void row(const char* name, double ours, double tool, const char* toolName)
{
    std::printf("%-44s harbrill %8.3f s   %-6s %8.3f s   ratio %.2f\n", name, ours, toolName, tool, ours / tool);
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir settings;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, settings.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int smallFiles = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int largeMiB = argc > 2 ? std::atoi(argv[2]) : 1024;
    const QStringList parts = QString::fromLocal8Bit(argc > 3 ? argv[3] : "move,tree,large").split(QLatin1Char(','));

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/bench-shift-XXXXXX"));
    const QString root = scratch.path();
    grantThroughBookmark(root);
    HBFileShiftOperations manager;

    // 1. Move of many small files, each its own source, within one volume.
    if (parts.contains(QStringLiteral("move"))) {
        QDir().mkpath(root + "/move/src");
        QDir().mkpath(root + "/move/dst");
        writeFiles(root + "/move/src", smallFiles, 4096);
        QList<hb::URL> sources;
        for (int i = 0; i < smallFiles; ++i)
            sources << hb::URL::fileURLWithPath(root + QStringLiteral("/move/src/f%1").arg(i));

        QElapsedTimer resolve;
        resolve.start();
        for (const hb::URL& source : sources)
            HBURL::shared().bookmarkedURL(source);
        const double perItem = seconds(resolve) / smallFiles;

        // Both start with the freshly written files on disk, so neither waits for the other's writeback.
        shell(QStringLiteral("sync"));
        const ShiftTiming ours = shift(manager, sources, root + "/move/dst", Action::move);
        shell(QStringLiteral("sync"));
        const double mv = shell(QStringLiteral("cd '%1/move' && mv dst/* src/").arg(root));
        row("move, small files as separate sources", ours.work, mv, "mv");
        std::printf("  of which sizing the sources %.3f s; bookmark resolution per item (uncached) %.1f us;\n"
                    "  poll handling incl. undo record %.3f s after the work\n",
                    ours.creation, perItem * 1e6, ours.handled - ours.work);
    }

    // 2. Copy of a tree of small files as one source. The disk's speed at creating files swings from
    // run to run, so rounds alternate who goes first and the medians are compared.
    if (parts.contains(QStringLiteral("tree"))) {
        QDir().mkpath(root + "/tree/src/tree");
        writeFiles(root + "/tree/src/tree", smallFiles, 4096, 1000);
        shell(QStringLiteral("cat -- '%1'/tree/src/tree/*/* > /dev/null; sync").arg(root));
        // The window's one-time creation (fonts, first layout) is not the poll: it exists beforehand.
        manager.showProgressWindow();
        constexpr int rounds = 5;
        std::vector<double> oursTimes, cpTimes;
        ShiftTiming last;
        for (int round = 0; round < rounds; ++round) {
            const QString ours = root + QStringLiteral("/tree/ours%1").arg(round);
            const QString cpInto = root + QStringLiteral("/tree/cp%1").arg(round);
            QDir().mkpath(ours);
            QDir().mkpath(cpInto);
            const auto runOurs = [&] {
                shell(QStringLiteral("sync"));
                last = shift(manager, {hb::URL::fileURLWithPath(root + "/tree/src/tree")}, ours, Action::copy);
                oursTimes.push_back(last.work);
            };
            const auto runCp = [&] {
                shell(QStringLiteral("sync"));
                cpTimes.push_back(shell(QStringLiteral("cp -a '%1/tree/src/tree' '%2/'").arg(root, cpInto)));
            };
            if (round % 2) {
                runCp();
                runOurs();
            } else {
                runOurs();
                runCp();
            }
            const QString check = QStringLiteral("test $(find '%1' -type f | wc -l) -eq %2").arg(ours).arg(smallFiles);
            if (QProcess::execute(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), check}) != 0)
                std::printf("  the copy is incomplete\n");
            QDir(ours).removeRecursively();
            QDir(cpInto).removeRecursively();
        }
        row(qPrintable(QStringLiteral("copy, one tree of small files (median of %1)").arg(rounds)), median(oursTimes),
            median(cpTimes), "cp -a");
        std::printf("  main thread (poll with a progress row, event loop) CPU %.3f s over %.3f s = %.2f %% of one core\n",
                    last.mainThreadCpu, last.handled - last.creation, 100.0 * last.mainThreadCpu / (last.handled - last.creation));
        QDir(root + "/tree").removeRecursively();
    }

    // 3. A large copy with the progress window open, and what the poll costs meanwhile; rounds in
    // alternating order, medians compared.
    if (parts.contains(QStringLiteral("large"))) {
        QDir().mkpath(root + "/large/src");
        QDir().mkpath(root + "/large/ours");
        QDir().mkpath(root + "/large/cp");
        shell(QStringLiteral("head -c %1M /dev/urandom > '%2/large/src/big'").arg(largeMiB).arg(root));
        bool windowShown = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            windowShown |= manager.progressWindowController() && manager.progressWindowController()->isVisible();
        });
        watch.start(100);
        // The copy may end before the first poll tick would open the window: it is open from the start.
        manager.showProgressWindow();
        constexpr int rounds = 5;
        std::vector<double> oursTimes, cpTimes;
        ShiftTiming last;
        for (int round = 0; round < rounds; ++round) {
            const std::function<void()> runOurs = [&] {
                shell(QStringLiteral("sync"));
                last = shift(manager, {hb::URL::fileURLWithPath(root + "/large/src/big")}, root + "/large/ours",
                             Action::copy);
                oursTimes.push_back(last.work);
                QFile::remove(root + "/large/ours/big");
            };
            const std::function<void()> runCp = [&] {
                shell(QStringLiteral("sync"));
                cpTimes.push_back(shell(QStringLiteral("cp '%1/large/src/big' '%1/large/cp/'").arg(root)));
                QFile::remove(root + "/large/cp/big");
            };
            (round % 2 ? runCp : runOurs)();
            (round % 2 ? runOurs : runCp)();
        }
        watch.stop();
        row(qPrintable(QStringLiteral("copy, one file of %1 MiB, window %2 (median of %3)")
                           .arg(largeMiB)
                           .arg(windowShown ? "open" : "closed")
                           .arg(rounds)),
            median(oursTimes), median(cpTimes), "cp");
        std::printf("  main thread (poll, window, event loop) CPU %.3f s over %.3f s = %.2f %% of one core\n",
                    last.mainThreadCpu, last.handled - last.creation, 100.0 * last.mainThreadCpu / (last.handled - last.creation));
    }
    return 0;
}
