// The main thread while shifts of many items are requested, run, complete and are undone: a 1 ms
// probe timer on the main loop records the longest gap between its ticks in each phase. The idle
// loop is probed first, so the machine's own stalls can be told apart. Target: 16 ms per phase.
// As in the program, a window has been shown before: the process's first window loads fonts and
// styles once, so a progress window is made and dropped before the rounds.
//   tree  a folder of N files in folders of 1,000 moved as one source, and the undo of that move
//   many  N files moved as N sources, and the undo of that move
//   copy  a copy of the tree of N files, and the undo of that copy (the copies deleted)
// Each phase is verified (what is where afterwards); a failed check ends the benchmark with status 1.
// Usage: bench_shift_stall [files, default 100000] [rounds, default 5]
#include "BenchRounds.h"

#include "core/engine/HBFileShiftOperations.h"
#include "core/engine/HBOperationsProtocol.h"
#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

class Reports : public HBOperationsProtocol {
public:
    int completed = 0;
    void operationComplete(const hb::URL&) override { ++completed; }
    void canUndo(bool) override {}
};

// The longest gap between two ticks of a 1 ms timer on the main loop.
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            m_longest = std::max(m_longest, std::chrono::duration<double, std::milli>(now - m_last).count());
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_last = std::chrono::steady_clock::now();
        m_timer.start(1);
    }
    QTimer& timer() { return m_timer; }
    // The longest gap, the one still open included.
    double stop()
    {
        m_timer.stop();
        const double open = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_last).count();
        return std::max(m_longest, open);
    }

private:
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_last;
    double m_longest = 0;
};

QString name(int i) { return QStringLiteral("f%1").arg(i, 6, 10, QLatin1Char('0')); }

void writeFiles(const QString& folder, int count, int perFolder)
{
    const QByteArray data(4096, 'd');
    for (int i = 0; i < count; ++i) {
        const QString sub = perFolder ? QStringLiteral("/s%1").arg(i / perFolder) : QString();
        if (perFolder && i % perFolder == 0)
            QDir().mkpath(folder + sub);
        QFile file(folder + sub + QLatin1Char('/') + name(i));
        bench::check(file.open(QIODevice::WriteOnly) && file.write(data) == data.size(), "cannot write %s",
                     qPrintable(file.fileName()));
    }
}

qsizetype filesBelow(const QString& folder)
{
    qsizetype count = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

bool isEmptyFolder(const QString& folder)
{
    return QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

class Phases {
public:
    Phases(HBFileShiftOperations& manager, Reports& reports) : m_manager(manager), m_reports(reports) {}

    // Probes the main loop from the request until the completion report (or, for an undo that
    // reports nothing, the end of its operation).
    void run(const std::string& phase, const std::function<void()>& request, bool reports = true)
    {
        const int before = m_reports.completed;
        m_probe.start();
        request();
        QElapsedTimer limit;
        limit.start();
        QEventLoop loop;
        // The probe's own ticks look at the end; nothing else is added to the loop.
        const QMetaObject::Connection watch = QObject::connect(&m_probe.timer(), &QTimer::timeout, [&] {
            if ((!reports || m_reports.completed > before) && m_manager.operations().empty())
                loop.quit();
            bench::check(limit.elapsed() < 600'000, "%s did not finish within 10 minutes", phase.c_str());
        });
        loop.exec();
        QObject::disconnect(watch);
        m_longest[phase].push_back(m_probe.stop());
    }

    void idle(const std::string& phase, int milliseconds)
    {
        m_probe.start();
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
        m_longest[phase].push_back(m_probe.stop());
    }

    void print() const
    {
        std::printf("longest main-loop stall per phase, ms (median [lowest .. highest] of the rounds; target 16 ms)\n");
        for (const auto& [phase, values] : m_longest) {
            const bench::Spread spread = bench::spreadOf(values);
            std::printf("  %-34s %8.2f [%.2f .. %.2f]%s\n", phase.c_str(), spread.median, spread.low, spread.high,
                        phase.rfind("0 ", 0) == 0 ? "" : spread.median <= 16 ? "  within" : "  MISSED");
        }
    }

private:
    HBFileShiftOperations& m_manager;
    Reports& m_reports;
    StallProbe m_probe;
    std::map<std::string, std::vector<double>> m_longest;
};

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir settings;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, settings.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    bench::check(files > 0 && rounds >= 1, "files and rounds must be positive");

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/bench-stall-XXXXXX"));
    const QString root = scratch.path();
    hb::AccessRegistry::grantStanding(root);
    HBURL::shared().bookmark(hb::URL::fileURLWithPath(root), false);
    hb::AccessRegistry::resetForTesting();
    HBFileShiftOperations manager;
    Reports reports;
    manager.delegate = &reports;
    Phases phases(manager, reports);

    const QString src = root + QStringLiteral("/src");
    const QString dst = root + QStringLiteral("/dst");
    const QString tree = src + QStringLiteral("/tree");
    QDir().mkpath(dst);
    writeFiles(tree, files, 1000);
    const QString many = root + QStringLiteral("/many");
    QDir().mkpath(many);
    writeFiles(many, files, 0);
    QList<hb::URL> manySources;
    for (int i = 0; i < files; ++i)
        manySources << hb::URL::fileURLWithPath(many + QLatin1Char('/') + name(i));
    const hb::URL dstURL = hb::URL::fileURLWithPath(dst);
    const auto undo = [&] { manager.undoLastShift(); };
    manager.showProgressWindow();
    QCoreApplication::processEvents();

    for (int round = 0; round < rounds; ++round) {
        phases.idle("0 idle main loop", 1000);

        phases.run("1 tree move: request to report", [&] {
            manager.shiftFiles({hb::URL::fileURLWithPath(tree)}, dstURL, Action::move, false, DataSource::finder);
        });
        bench::check(filesBelow(dst + QStringLiteral("/tree")) == files && !QFile::exists(tree), "the tree was not moved");
        phases.run("2 tree move: its undo", undo);
        bench::check(filesBelow(tree) == files && isEmptyFolder(dst), "the tree move was not undone");

        phases.run("3 N sources move: request to report", [&] {
            manager.shiftFiles(manySources, dstURL, Action::move, false, DataSource::finder);
        });
        bench::check(filesBelow(dst) == files && isEmptyFolder(many), "the files were not moved");
        phases.run("4 N sources move: its undo", undo);
        bench::check(filesBelow(many) == files && isEmptyFolder(dst), "the files move was not undone");

        phases.run("5 tree copy: request to report", [&] {
            manager.shiftFiles({hb::URL::fileURLWithPath(tree)}, dstURL, Action::copy, false, DataSource::finder);
        });
        bench::check(filesBelow(dst + QStringLiteral("/tree")) == files, "the tree was not copied");
        // Deleting the copies reports nothing: the phase ends with the undo's operation.
        phases.run("6 tree copy: its undo", undo, false);
        bench::check(isEmptyFolder(dst) && filesBelow(tree) == files, "the tree copy was not undone");
    }
    phases.print();
    return 0;
}
