// Copy speed beside the system's `cp -a` and the copy of GNOME Files (`gio copy --preserve -P` for a
// file; for a tree, which `gio copy` refuses, the same routine walked over the tree as GNOME Files
// does: this program started as `--gio-copy`), on the same disk file system, with the page cache
// dropped before every run. All sides run as processes timed from spawn to reaping: ours is this
// program started again as a copy driver (`--copy`), which copies through the program's own copy
// operation and checks its progress counters. Every run's destination is compared with the source.
// The targets judge our wall time less the driver's longer start (copying an empty file with the
// caches dropped, beside cp doing the same): the program itself copies without starting a process.
//   bench_copy [folder] [--only large|2000|20000|100000] [--rounds N, default 5]
//   (default folder: $TMPDIR, else /var/tmp)
// Run as root: the page cache cannot be dropped otherwise.
#include "BenchRounds.h"
#include "GioTreeCopy.h"

#include "app/identity/HarbrillIdentity.h"
#include "core/engine/HBCopyFileOperation.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr int kStartRounds = 5;

// The copy driver: copies FROM to TO with the program's copy operation; the progress must count
// exactly ITEMS finished items and BYTES bytes.
int copyDriver(const QString& from, const QString& to, std::int64_t items, std::uint64_t bytes)
{
    hb::AccessRegistry::grantStanding(QFileInfo(from).path());
    hb::AccessRegistry::grantStanding(QFileInfo(to).path());
    HBCopyFileOperation operation{CopyProgressData()};
    const auto error = operation.copyFileOperationWithSource(hb::URL::fileURLWithPath(from),
                                                             hb::URL::fileURLWithPath(to), false);
    if (error) {
        std::fprintf(stderr, "copy failed: %s\n", qPrintable(error->localizedDescription()));
        return 1;
    }
    const CopyProgressData progress = operation.getProgressData();
    if (progress.completedCountOfFiles != items || progress.completedSizeOfFiles != bytes) {
        std::fprintf(stderr, "progress counted %d items and %llu bytes, not %lld and %llu\n",
                     progress.completedCountOfFiles, static_cast<unsigned long long>(progress.completedSizeOfFiles),
                     static_cast<long long>(items), static_cast<unsigned long long>(bytes));
        return 1;
    }
    return 0;
}

// What both copies must keep of every item: type, mode, size, modification time and data.
using TreeDescription = std::map<std::string, std::string>;

std::string hashOf(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        bench::fail("cannot read %s", path.c_str());
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result().toHex().toStdString();
}

void describe(const std::string& root, const std::string& relative, TreeDescription& out)
{
    const std::string path = root + relative;
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        bench::fail("cannot look at %s", path.c_str());
    std::string text = std::to_string(status.st_mode) + ' ' + std::to_string(status.st_size) + ' '
                       + std::to_string(status.st_mtim.tv_sec) + '.' + std::to_string(status.st_mtim.tv_nsec);
    if (S_ISREG(status.st_mode))
        text += ' ' + hashOf(path);
    out[relative] = text;
    if (!S_ISDIR(status.st_mode))
        return;
    const QStringList names = QDir(QString::fromStdString(path))
                                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names)
        describe(root, relative + '/' + name.toStdString(), out);
}

TreeDescription describe(const QString& root)
{
    TreeDescription out;
    describe(root.toStdString(), "", out);
    return out;
}

void verifyCopy(const TreeDescription& expected, const QString& copy, const char* side)
{
    const TreeDescription found = describe(copy);
    if (found.size() != expected.size())
        bench::fail("%s: %zu items instead of %zu in %s", side, found.size(), expected.size(), qPrintable(copy));
    for (const auto& [relative, text] : expected) {
        const auto it = found.find(relative);
        if (it == found.end())
            bench::fail("%s: %s missing from the copy", side, relative.c_str());
        if (it->second != text)
            bench::fail("%s: %s differs: '%s' instead of '%s'", side, relative.c_str(), it->second.c_str(),
                        text.c_str());
    }
}

void writeLargeFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        bench::fail("cannot write %s", qPrintable(path));
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += block.size()) {
        for (int i = 0; i < block.size(); i += 8)
            *reinterpret_cast<qint64*>(block.data() + i) = written + i;
        file.write(block);
    }
}

// `files` files of 4 KiB in 20 x 10 folders, each file's data its own, with a few modes and times.
void makeTree(const QString& root, int files)
{
    const int perFolder = files / 200;
    QByteArray data(4096, Qt::Uninitialized);
    int n = 0;
    for (int f = 0; f < 20; ++f) {
        for (int s = 0; s < 10; ++s) {
            const QString folder = QStringLiteral("%1/f%2/s%3").arg(root).arg(f).arg(s);
            QDir().mkpath(folder);
            for (int i = 0; i < perFolder; ++i, ++n) {
                const std::string path = QStringLiteral("%1/file%2.dat").arg(folder).arg(i).toStdString();
                std::memset(data.data(), 'a' + n % 26, data.size());
                std::memcpy(data.data(), &n, sizeof n);
                const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                if (fd < 0 || write(fd, data.constData(), data.size()) != data.size())
                    bench::fail("cannot write %s", path.c_str());
                const mode_t modes[] = {0644, 0600, 0755, 0444};
                fchmod(fd, modes[n % 4]);
                const timespec times[2] = {{1600000000 + n, 0}, {1600000000 + n, n % 1000000000}};
                futimens(fd, times);
                close(fd);
            }
        }
    }
}

struct Case {
    std::string key;  // for --only
    std::string title;
    std::function<void(const QString&)> make;
    std::int64_t items;  // finished items the progress must count
    std::uint64_t bytes;
    double wallTarget;  // ours against cp -a, at most
    double cpuTarget;   // none when 0
};

void runCase(const Case& test, const QString& root, const std::string& self, int rounds, double extraStart)
{
    const QString source = root + "/source";
    test.make(source);
    const TreeDescription expected = describe(source);
    const bool tree = QFileInfo(source).isDir();
    const auto dropCaches = [] {
        if (!bench::dropCaches())
            bench::fail("cannot drop the page cache (run as root)");
    };
    // Each copy is checked and put aside; all go at the end. Removed at once, they would slow the side
    // that runs next on a file system without a journal, where ext4 passes over recently deleted
    // inodes as it makes new ones.
    const QString checked = root + "/checked";
    QDir().mkpath(checked);
    int made = 0;
    const auto side = [&](const char* name, const QString& copy, std::vector<std::string> command) {
        return bench::Side{name, dropCaches, [command] { return bench::runTool(command); },
                           [&expected, &made, checked, copy, name] {
                               verifyCopy(expected, copy, name);
                               const QString aside = checked + '/' + QString::number(++made);
                               if (!QFile::rename(copy, aside))
                                   bench::fail("cannot put %s aside", qPrintable(copy));
                           }};
    };
    const QString ours = root + "/copy.ours";
    const QString cp = root + "/copy.cp";
    const QString gio = root + "/copy.gio";
    const std::string from = source.toStdString();
    const std::vector<bench::Side> sides = {
        side("ours (copy driver)", ours,
             {self, "--copy", from, ours.toStdString(), std::to_string(test.items), std::to_string(test.bytes)}),
        side("cp -a", cp, {"cp", "-a", from, cp.toStdString()}),
        tree ? side("gio (GNOME Files' walk)", gio, {self, "--gio-copy", from, gio.toStdString()})
             : side("gio copy --preserve -P", gio, {"gio", "copy", "--preserve", "-P", from, gio.toStdString()}),
    };
    const std::vector<bench::SideResult> results = bench::compareAll(test.title, sides, rounds);
    // The program copies without starting a process: the driver's longer start is no part of its copy.
    const double wall = (results[0].wall.median - extraStart) / results[1].wall.median;
    const double cpu = results[0].cpu.median / results[1].cpu.median;
    std::printf("  ratio 1/2 without the copy driver's longer start (%.4f s): wall %.3f x\n", extraStart, wall);
    if (test.cpuTarget > 0)
        std::printf("  target: at most %.2f x cp -a's wall time and %.2f x its cpu time: %s\n", test.wallTarget,
                    test.cpuTarget, wall <= test.wallTarget && cpu <= test.cpuTarget ? "met" : "missed");
    else
        std::printf("  target: at most %.2f x cp -a's wall time: %s\n", test.wallTarget,
                    wall <= test.wallTarget ? "met" : "missed");
    QDir(source).removeRecursively();
    QFile::remove(source);
    QDir(checked).removeRecursively();
    sync();
}

// What a side's process costs beyond the copying: its start with the caches dropped, copying an
// empty file. The copy driver loads Qt; cp starts in a fraction of that.
bench::Sample startCost(const QString& root,
                        const std::function<std::vector<std::string>(const std::string&, const std::string&)>& command)
{
    const QString empty = root + "/empty";
    const QString copy = root + "/empty.copy";
    QFile(empty).open(QIODevice::WriteOnly);
    std::vector<double> wall, cpu;
    for (int round = 0; round < kStartRounds; ++round) {
        QFile::remove(copy);
        if (!bench::dropCaches())
            bench::fail("cannot drop the page cache (run as root)");
        const bench::Sample sample = bench::runTool(command(empty.toStdString(), copy.toStdString()));
        wall.push_back(sample.wall);
        cpu.push_back(sample.cpu);
    }
    QFile::remove(copy);
    QFile::remove(empty);
    return {bench::spreadOf(wall).median, bench::spreadOf(cpu).median};
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 6 && arguments[1] == "--copy")
        return copyDriver(arguments[2], arguments[3], arguments[4].toLongLong(), arguments[5].toULongLong());
    if (arguments.size() == 4 && arguments[1] == "--gio-copy")
        return bench::gioCopyMain(argv[2], argv[3]);

    QString base = qEnvironmentVariable("TMPDIR", "/var/tmp");
    QString only;
    int rounds = 5;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--only" && i + 1 < arguments.size())
            only = arguments[++i];
        else if (arguments[i] == "--rounds" && i + 1 < arguments.size())
            rounds = std::max(1, arguments[++i].toInt());
        else
            base = arguments[i];
    }
    struct statfs fs {};
    if (statfs(base.toLocal8Bit().constData(), &fs) != 0 || fs.f_type == TMPFS_MAGIC) {
        std::fprintf(stderr, "%s: give a folder on a disk file system (not tmpfs)\n", qPrintable(base));
        return 2;
    }
    QTemporaryDir work(base + "/bench_copy-XXXXXX");
    const QString root = work.path();
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const bench::Sample start = bench::processStartCost();
    std::printf("folder %s (file system type 0x%lx); starting a process costs %.4f s wall, %.4f s cpu\n",
                qPrintable(root), static_cast<unsigned long>(fs.f_type), start.wall, start.cpu);
    const bench::Sample driver = startCost(root, [&](const std::string& from, const std::string& to) {
        return std::vector<std::string>{self, "--copy", from, to, "1", "0"};
    });
    const bench::Sample cpStart = startCost(root, [](const std::string& from, const std::string& to) {
        return std::vector<std::string>{"cp", "-a", from, to};
    });
    const double extraStart = driver.wall - cpStart.wall;
    std::printf("copying an empty file with the caches dropped (median): the copy driver %.4f s wall, %.4f s cpu; "
                "cp -a %.4f s wall, %.4f s cpu\n",
                driver.wall, driver.cpu, cpStart.wall, cpStart.cpu);

    const qint64 large = qint64(1) << 30;
    const auto tree = [](int files) { return [files](const QString& path) { makeTree(path, files); }; };
    // A tree counts every file and every folder: 200 leaf folders, 20 between, and the top.
    const std::vector<Case> cases = {
        {"large", "one file of 1 GiB", [&](const QString& path) { writeLargeFile(path, large); }, 1,
         std::uint64_t(large), 1.0, 0},
        {"2000", "2,000 files of 4 KiB", tree(2000), 2000 + 221, 2000ull * 4096, 0.5, 1.5},
        {"20000", "20,000 files of 4 KiB", tree(20000), 20000 + 221, 20000ull * 4096, 0.5, 1.5},
        {"100000", "100,000 files of 4 KiB", tree(100000), 100000 + 221, 100000ull * 4096, 0.5, 1.5},
    };
    for (const Case& test : cases) {
        if (only.isEmpty() || only.toStdString() == test.key)
            runCase(test, root, self, rounds, extraStart);
    }
    return 0;
}
