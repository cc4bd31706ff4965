// Shifts through the operations manager side by side with the shell tools on the same files, in
// rounds that alternate which side goes first:
//   move   N files of 4 KiB, each its own source, within one volume, against mv; then the undo of
//          that move against mv back. Ours is timed in-process from the request until the
//          completion report has been delivered and the undo record registered; mv as a process
//          (its start-up cost is stated beside). Peak RSS growth per item is reported too.
//   tree   a copy of a tree of N small files as one source, against cp -a and the copy of GNOME
//          Files (this program started as `--gio-copy`, see GioTreeCopy.h).
//   large  a copy of one large file with the progress window open, against cp and `gio copy`.
//   across N files of 4 KiB as N sources, and then one large file, moved from another volume (a
//          tmpfs mounted for the benchmark, else a folder in /dev/shm) to the disk, against mv. The
//          program carries out a move to another volume as a copy and leaves the sources where they
//          are; mv copies and then removes them. Ours is timed as in move.
//   stall  the longest stall of the main loop while N items are shifted and undone: a tree of N
//          files moved as one source, N files moved as N sources, and a copy of the tree, each
//          requested, run, completed and undone (not part of the default run); every round is shown.
// Every run of every side is verified (names and data at the destination, what is left at the
// source, bytes of the large copies, the tools' exit status); a failed check ends the benchmark with
// status 1.
// Usage: bench_shift [files, default 20000] [large copy MiB, default 1024] [parts, default
//                    move,tree,large,across; stall on request] [rounds, default 5]
#include "BenchRounds.h"
#include "GioTreeCopy.h"

#include "app/identity/HarbrillIdentity.h"
#include "core/engine/HBFileShiftOperations.h"
#include "core/engine/HBOperationsProtocol.h"
#include "core/store/HBURL.h"
#include "mainwindow/HBCoreUIDelegate.h"
#include "platform/files/AccessRegistry.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <dirent.h>
#include <linux/magic.h>
#include <sys/mount.h>
#include <sys/statfs.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

void grantThroughBookmark(const QString& path)
{
    hb::AccessRegistry::grantStanding(path);
    HBURL::shared().bookmark(hb::URL::fileURLWithPath(path), false);
    hb::AccessRegistry::resetForTesting();
}

QString name(int i)
{
    return QStringLiteral("f%1").arg(i, 6, 10, QLatin1Char('0'));
}

void writeFiles(const QString& folder, int count, int perFolder = 0)
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

// The names directly in `folder`, sorted.
QStringList entries(const QString& folder)
{
    QStringList names;
    if (DIR* directory = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = ::readdir(directory)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names << QFile::decodeName(entry->d_name);
        }
        ::closedir(directory);
    }
    names.sort();
    return names;
}

// Every file below `folder`, as paths relative to it, sorted.
QStringList treeFiles(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(folder.size() + 1);
    files.sort();
    return files;
}

// Moves every file of `from` into `to` without timing anything: the next round's starting point.
void putBack(const QString& from, const QString& to)
{
    for (const QString& entry : entries(from))
        bench::check(
            ::rename(qPrintable(from + QLatin1Char('/') + entry), qPrintable(to + QLatin1Char('/') + entry)) == 0,
            "cannot put %s back", qPrintable(entry));
}

// Copies made by the rounds, put aside once checked and removed when the benchmark ends. Removed
// at once, they would slow the side that runs next on a file system without a journal, where ext4
// passes over recently deleted inodes as it makes new ones.
class SetAside {
public:
    explicit SetAside(const QString& folder) : m_folder(folder) { QDir().mkpath(folder); }
    ~SetAside() { QDir(m_folder).removeRecursively(); }
    void put(const QString& folder)
    {
        if (QFileInfo::exists(folder))
            bench::check(
                ::rename(qPrintable(folder), qPrintable(m_folder + QLatin1Char('/') + QString::number(++m_count))) == 0,
                "cannot put %s aside", qPrintable(folder));
    }
    // `folder` is put aside, and made again empty.
    void empty(const QString& folder)
    {
        put(folder);
        QDir().mkpath(folder);
        sync();
    }

private:
    QString m_folder;
    int m_count = 0;
};

// Runs the event loop, as the program does, until `done` holds (looked at every millisecond).
void runUntil(const std::function<bool()>& done, const char* what)
{
    QElapsedTimer limit;
    limit.start();
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
        bench::check(limit.elapsed() < 600'000, "%s did not finish within 10 minutes", what);
    });
    check.start(1);
    if (!done())
        loop.exec();
}

// One request through the manager, timed until its completion report has been delivered and the
// manager holds no operation (the undo record is registered by then).
bench::Sample throughManager(HBFileShiftOperations& manager, Reports& reports, const std::function<void()>& request)
{
    const int before = reports.completed;
    return bench::measure([&] {
        request();
        runUntil([&] { return reports.completed > before && manager.operations().empty(); }, "the shift");
    });
}

std::vector<std::string> mvCommand(const QString& into, int count)
{
    std::vector<std::string> command{"mv", "-t", into.toStdString()};
    for (int i = 0; i < count; ++i)
        command.push_back(name(i).toStdString());
    return command;
}

void movePart(HBFileShiftOperations& manager, Reports& reports, const QString& root, int count, int rounds,
              SetAside& aside)
{
    const QString a = root + QStringLiteral("/move/a");
    const QString b = root + QStringLiteral("/move/b");
    QDir().mkpath(a);
    QDir().mkpath(b);
    writeFiles(a, count);
    QStringList names;
    QList<hb::URL> sources, movedSources;
    for (int i = 0; i < count; ++i) {
        names << name(i);
        sources << hb::URL::fileURLWithPath(a + QLatin1Char('/') + name(i));
    }
    const auto expectIn = [&](const QString& full, const QString& empty, const char* side) {
        bench::check(entries(full) == names, "%s: %s does not hold exactly the %d moved items", side, qPrintable(full),
                     count);
        bench::check(entries(empty).isEmpty(), "%s: items left in %s", side, qPrintable(empty));
    };
    const auto fromA = [&] {
        putBack(b, a);
        sync();
    };
    const auto moveOurs = [&] {
        manager.shiftFiles(sources, hb::URL::fileURLWithPath(b), Action::move, false, DataSource::finder);
    };

    // Memory first, on a process that has not shifted yet: peak RSS growth of one move and of its undo,
    // each read before its result is verified.
    const long base = bench::peakRssKiB();
    throughManager(manager, reports, moveOurs);
    const long afterMove = bench::peakRssKiB();
    expectIn(b, a, "harbrill");
    const long beforeUndo = bench::peakRssKiB();
    throughManager(manager, reports, [&] { manager.undoLastShift(); });
    const long afterUndo = bench::peakRssKiB();
    expectIn(a, b, "harbrill undo");
    std::printf("memory: peak RSS growth of the move %ld KiB = %.0f bytes per item (target: at most 300); of its undo "
                "%ld KiB = %.0f bytes per item\n",
                afterMove - base, (afterMove - base) * 1024.0 / count, afterUndo - beforeUndo,
                (afterUndo - beforeUndo) * 1024.0 / count);

    const bench::Sample start = bench::processStartCost();
    std::printf("mv is timed as a process; starting and reaping a process costs %.4f s wall, %.4f s cpu (median)\n",
                start.wall, start.cpu);

    const bench::Side oursMove{"harbrill move", fromA, [&] { return throughManager(manager, reports, moveOurs); },
                               [&] {
                                   expectIn(b, a, "harbrill");
                                   bench::check(manager.undoManager().canUndo(), "harbrill: no undo registered");
                               }};
    const bench::Side mvMove{"mv", fromA, [&] { return bench::runTool(mvCommand(b, count), a.toStdString()); },
                             [&] { expectIn(b, a, "mv"); }};
    bench::compare(QStringLiteral("move of %1 files of 4 KiB as %1 sources, request to completion report")
                       .arg(count)
                       .toStdString(),
                   oursMove, mvMove, rounds);

    const bench::Side oursUndo{"harbrill undo of the move",
                               [&] {
                                   fromA();
                                   throughManager(manager, reports, moveOurs);
                                   expectIn(b, a, "harbrill");
                                   sync();
                               },
                               [&] { return throughManager(manager, reports, [&] { manager.undoLastShift(); }); },
                               [&] { expectIn(a, b, "harbrill undo"); }};
    const bench::Side mvBack{"mv back",
                             [&] {
                                 fromA();
                                 bench::runTool(mvCommand(b, count), a.toStdString());
                                 expectIn(b, a, "mv");
                                 sync();
                             },
                             [&] { return bench::runTool(mvCommand(a, count), b.toStdString()); },
                             [&] { expectIn(a, b, "mv back"); }};
    bench::compare("undo of that move, request to completion report", oursUndo, mvBack, rounds);
    aside.put(root + QStringLiteral("/move"));
}

void treePart(HBFileShiftOperations& manager, Reports& reports, const QString& root, int count, int rounds,
              SetAside& aside, const std::string& self)
{
    const QString source = root + QStringLiteral("/tree/src/tree");
    const QString ours = root + QStringLiteral("/tree/ours");
    const QString cp = root + QStringLiteral("/tree/cp");
    const QString gio = root + QStringLiteral("/tree/gio");
    QDir().mkpath(source);
    writeFiles(source, count, 1000);
    const QStringList files = treeFiles(source);
    bench::check(files.size() == count, "the source tree holds %lld files, not %d", qlonglong(files.size()), count);
    const auto emptied = [&aside](const QString& folder) { return [&aside, folder] { aside.empty(folder); }; };
    const auto copied = [&](const QString& into, const char* side) {
        return [&files, into, side] {
            bench::check(entries(into) == QStringList{QStringLiteral("tree")}, "%s: the copy is not where expected",
                         side);
            bench::check(treeFiles(into + QStringLiteral("/tree")) == files, "%s: the copied tree differs", side);
        };
    };
    bench::compareAll(QStringLiteral("copy of a tree of %1 files of 4 KiB as one source").arg(count).toStdString(),
                      {{"harbrill copy", emptied(ours),
                        [&] {
                            return throughManager(manager, reports, [&] {
                                manager.shiftFiles({hb::URL::fileURLWithPath(source)}, hb::URL::fileURLWithPath(ours),
                                                   Action::copy, false, DataSource::finder);
                            });
                        },
                        copied(ours, "harbrill")},
                       {"cp -a", emptied(cp),
                        [&] {
                            return bench::runTool({"cp", "-a", source.toStdString(), cp.toStdString()});
                        },
                        copied(cp, "cp -a")},
                       {"gio (GNOME Files' walk)", emptied(gio),
                        [&] {
                            return bench::runTool({self, "--gio-copy", source.toStdString(),
                                                   (gio + QStringLiteral("/tree")).toStdString()});
                        },
                        copied(gio, "gio")}},
                      rounds);
    aside.put(root + QStringLiteral("/tree"));
}

void largePart(HBFileShiftOperations& manager, Reports& reports, const QString& root, int mebibytes, int rounds)
{
    const QString folder = root + QStringLiteral("/large");
    QDir().mkpath(folder + QStringLiteral("/ours"));
    QDir().mkpath(folder + QStringLiteral("/cp"));
    const std::string big = (folder + QStringLiteral("/big")).toStdString();
    bench::runTool(
        {"dd", "if=/dev/urandom", "of=" + big, "bs=1M", "count=" + std::to_string(mebibytes), "status=none"});
    // The copy may end before the first poll tick would open the window: it is open from the start.
    manager.showProgressWindow();
    const auto removed = [](const QString& path) {
        return [path] {
            QFile::remove(path);
            sync();
        };
    };
    const auto same = [big](const QString& copy, const char* side) {
        return [big, copy, side] {
            bench::check(bench::runProcess({"cmp", "-s", big, copy.toStdString()}).exitStatus == 0,
                         "%s: the copy's bytes differ", side);
        };
    };
    const QString ours = folder + QStringLiteral("/ours/big");
    const QString cp = folder + QStringLiteral("/cp/big");
    const QString gio = folder + QStringLiteral("/gio/big");
    QDir().mkpath(folder + QStringLiteral("/gio"));
    bench::compareAll(QStringLiteral("copy of one file of %1 MiB, progress window open").arg(mebibytes).toStdString(),
                      {{"harbrill copy", removed(ours),
                        [&] {
                            return throughManager(manager, reports, [&] {
                                manager.shiftFiles({hb::URL::fileURLWithPath(QString::fromStdString(big))},
                                                   hb::URL::fileURLWithPath(folder + QStringLiteral("/ours")),
                                                   Action::copy, false, DataSource::finder);
                            });
                        },
                        same(ours, "harbrill")},
                       {"cp", removed(cp),
                        [&] {
                            return bench::runTool({"cp", big, cp.toStdString()});
                        },
                        same(cp, "cp")},
                       {"gio copy", removed(gio),
                        [&] {
                            return bench::runTool({"gio", "copy", big, gio.toStdString()});
                        },
                        same(gio, "gio copy")}},
                      rounds);
    QDir(folder).removeRecursively();
}

// A volume of its own for the sources of a move across volumes: a tmpfs mounted for the benchmark
// (root only), else a folder in /dev/shm; granted through a bookmark either way.
class OtherVolume {
public:
    OtherVolume(const QString& mountPoint, qint64 bytes) : m_mountPoint(mountPoint)
    {
        QDir().mkpath(mountPoint);
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, options.constData()) == 0;
        if (m_mounted) {
            m_folder = mountPoint;
        } else {
            m_shared = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/bench-shift-XXXXXX"));
            struct statfs fs {};
            bench::check(m_shared->isValid() && ::statfs("/dev/shm", &fs) == 0 && fs.f_type == TMPFS_MAGIC,
                         "no other volume: cannot mount a tmpfs (run as root) and /dev/shm is no tmpfs");
            m_folder = m_shared->path();
        }
        grantThroughBookmark(m_folder);
    }
    ~OtherVolume()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
    }
    OtherVolume(const OtherVolume&) = delete;
    OtherVolume& operator=(const OtherVolume&) = delete;

    const QString& folder() const { return m_folder; }
    const char* kind() const { return m_mounted ? "a tmpfs mounted for the benchmark" : "/dev/shm"; }

private:
    QString m_mountPoint;
    QString m_folder;
    bool m_mounted = false;
    std::unique_ptr<QTemporaryDir> m_shared;
};

// Whether every file of `names` in `folder` holds `data`.
bool allHold(const QString& folder, const QStringList& names, const QByteArray& data)
{
    for (const QString& name : names) {
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != data)
            return false;
    }
    return true;
}

void acrossPart(HBFileShiftOperations& manager, Reports& reports, const QString& root, int count, int mebibytes,
                int rounds, SetAside& aside)
{
    const qint64 large = qint64(mebibytes) << 20;
    OtherVolume volume(root + QStringLiteral("/across/volume"), qint64(count) * 8192 + 2 * large + (64 << 20));
    const QString from = volume.folder();
    const QString to = root + QStringLiteral("/across/disk");
    QDir().mkpath(to);
    std::printf("moves across volumes: the sources on %s, the destination on the disk\n", volume.kind());

    const QByteArray data(4096, 'd');
    QStringList names;
    QList<hb::URL> sources;
    for (int i = 0; i < count; ++i) {
        names << name(i);
        sources << hb::URL::fileURLWithPath(from + QLatin1Char('/') + name(i));
    }
    const auto fresh = [&] {
        aside.empty(to);
        if (entries(from) != names) {
            for (const QString& entry : entries(from))
                QFile::remove(from + QLatin1Char('/') + entry);
            writeFiles(from, count);
        }
        sync();
    };
    const auto moved = [&](bool sourcesStay, const char* side) {
        return [&, sourcesStay, side] {
            bench::check(entries(to) == names && allHold(to, names, data), "%s: %s does not hold the %d files", side,
                         qPrintable(to), count);
            bench::check(sourcesStay ? entries(from) == names : entries(from).isEmpty(),
                         sourcesStay ? "%s: the sources did not stay" : "%s: sources left behind", side);
        };
    };
    bench::compare(
        QStringLiteral("move of %1 files of 4 KiB as %1 sources to another volume, request to completion "
                       "report")
            .arg(count)
            .toStdString(),
        {"harbrill move (a copy)", fresh,
         [&] {
             return throughManager(manager, reports, [&] {
                 manager.shiftFiles(sources, hb::URL::fileURLWithPath(to), Action::move, false, DataSource::finder);
             });
         },
         moved(true, "harbrill")},
        {"mv", fresh, [&] { return bench::runTool(mvCommand(to, count), from.toStdString()); }, moved(false, "mv")},
        rounds);
    for (const QString& entry : entries(from))
        QFile::remove(from + QLatin1Char('/') + entry);

    // The large file: kept whole beside, to be put back after mv took it.
    const std::string original = (from + QStringLiteral("/original")).toStdString();
    const QString big = from + QStringLiteral("/big");
    bench::runTool(
        {"dd", "if=/dev/urandom", "of=" + original, "bs=1M", "count=" + std::to_string(mebibytes), "status=none"});
    const auto freshBig = [&] {
        aside.empty(to);
        if (!QFile::exists(big))
            bench::runTool({"cp", original, big.toStdString()});
        sync();
    };
    const auto movedBig = [&](bool sourceStays, const char* side) {
        return [&, sourceStays, side] {
            bench::check(entries(to) == QStringList{QStringLiteral("big")}
                             && bench::runProcess({"cmp", "-s", original, (to + QStringLiteral("/big")).toStdString()})
                                        .exitStatus
                                    == 0,
                         "%s: the moved file's bytes differ", side);
            bench::check(QFile::exists(big) == sourceStays,
                         sourceStays ? "%s: the source did not stay" : "%s: source left behind", side);
        };
    };
    bench::compare(QStringLiteral("move of one file of %1 MiB to another volume, request to completion report")
                       .arg(mebibytes)
                       .toStdString(),
                   {"harbrill move (a copy)", freshBig,
                    [&] {
                        return throughManager(manager, reports, [&] {
                            manager.shiftFiles({hb::URL::fileURLWithPath(big)}, hb::URL::fileURLWithPath(to),
                                               Action::move, false, DataSource::finder);
                        });
                    },
                    movedBig(true, "harbrill")},
                   {"mv", freshBig,
                    [&] {
                        return bench::runTool({"mv", big.toStdString(), to.toStdString()});
                    },
                    movedBig(false, "mv")},
                   rounds);
    for (const QString& entry : entries(from))
        QFile::remove(from + QLatin1Char('/') + entry);
    aside.put(to);
}

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
        const double open
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_last).count();
        return std::max(m_longest, open);
    }

private:
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_last;
    double m_longest = 0;
};

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
        std::printf("longest main-loop stall per phase, ms, round by round (target: 16 ms in every round)\n");
        for (const auto& [phase, values] : m_longest) {
            std::printf("  %-36s", phase.c_str());
            int over = 0;
            for (const double value : values) {
                std::printf(" %7.2f", value);
                over += value > 16;
            }
            if (phase.rfind("0 ", 0) == 0)
                std::printf("\n");
            else if (over == 0)
                std::printf("  within\n");
            else
                std::printf("  MISSED in %d of %zu rounds\n", over, values.size());
        }
    }

private:
    HBFileShiftOperations& m_manager;
    Reports& m_reports;
    StallProbe m_probe;
    std::map<std::string, std::vector<double>> m_longest;
};

// The main thread while shifts of many items are requested, run, complete and are undone: a 1 ms
// probe timer on the main loop records the longest gap between its ticks in each phase. The idle
// loop is probed first, so the machine's own stalls can be told apart. Target: 16 ms per phase.
// As in the program, a window has been shown before: the process's first window loads fonts and
// styles once, so a progress window is made and dropped before the rounds.
void stallPart(HBFileShiftOperations& manager, Reports& reports, const QString& root, int files, int rounds)
{
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
        bench::check(filesBelow(dst + QStringLiteral("/tree")) == files && !QFile::exists(tree),
                     "the tree was not moved");
        phases.run("2 tree move: its undo", undo);
        bench::check(filesBelow(tree) == files && isEmptyFolder(dst), "the tree move was not undone");

        phases.run("3 N sources move: request to report",
                   [&] { manager.shiftFiles(manySources, dstURL, Action::move, false, DataSource::finder); });
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
    QDir(root + QStringLiteral("/src")).removeRecursively();
    QDir(root + QStringLiteral("/dst")).removeRecursively();
    QDir(root + QStringLiteral("/many")).removeRecursively();
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    QTemporaryDir settings;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, settings.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::strcmp(argv[1], "--gio-copy") == 0)
        return bench::gioCopyMain(argv[2], argv[3]);
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int largeMiB = argc > 2 ? std::atoi(argv[2]) : 1024;
    const QStringList parts
        = QString::fromLocal8Bit(argc > 3 ? argv[3] : "move,tree,large,across").split(QLatin1Char(','));
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    bench::check(files > 0 && rounds >= 1, "files and rounds must be positive");

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/bench-shift-XXXXXX"));
    const QString root = scratch.path();
    grantThroughBookmark(root);
    // Large copies and conflicts show the progress window, as in the program.
    HBCoreUIDelegate ui;
    HBFileShiftOperations manager;
    manager.setUIDelegate(&ui);
    Reports reports;
    manager.delegate = &reports;

    SetAside aside(root + QStringLiteral("/aside"));
    if (parts.contains(QStringLiteral("move")))
        movePart(manager, reports, root, files, rounds, aside);
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    if (parts.contains(QStringLiteral("tree")))
        treePart(manager, reports, root, files, rounds, aside, self);
    if (parts.contains(QStringLiteral("large")))
        largePart(manager, reports, root, largeMiB, rounds);
    if (parts.contains(QStringLiteral("across")))
        acrossPart(manager, reports, root, files, largeMiB, rounds, aside);
    if (parts.contains(QStringLiteral("stall")))
        stallPart(manager, reports, root, files, rounds);
    return 0;
}
