// Copy speed and memory beside the system's cp, on the same disk file system.
//   bench_copy [folder]   (default: $TMPDIR, else /var/tmp; tmpfs is refused)
#include "core/engine/HBCopyFileOperation.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <linux/magic.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

extern char** environ;

namespace {

constexpr int kRounds = 5;

struct Run {
    double seconds;
};

long ownPeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

Run runTool(const std::vector<const char*>& command)
{
    std::vector<char*> argv;
    for (const char* part : command)
        argv.push_back(const_cast<char*>(part));
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawnp");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", command[0]);
        std::exit(1);
    }
    return {seconds};
}

Run runOurs(const QString& from, const QString& to, std::uint64_t* bytes, std::int32_t* items)
{
    QElapsedTimer timer;
    timer.start();
    HBCopyFileOperation operation{CopyProgressData()};
    const auto error = operation.copyFileOperationWithSource(hb::URL::fileURLWithPath(from), hb::URL::fileURLWithPath(to),
                                                             false);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (error) {
        std::fprintf(stderr, "copy failed: %s\n", qPrintable(error->localizedDescription()));
        std::exit(1);
    }
    *bytes = operation.getProgressData().completedSizeOfFiles;
    *items = operation.getProgressData().completedCountOfFiles;
    return {seconds};
}

void settle(const QString& remove)
{
    QDir(remove).removeRecursively();
    QFile::remove(remove);
    sync();  // earlier writes are not flushed on someone else's time
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void writeBigFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(1);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += block.size()) {
        for (int i = 0; i < block.size(); i += 8)
            *reinterpret_cast<qint64*>(block.data() + i) = written + i;
        file.write(block);
    }
}

void makeTree(const QString& root, int folders, int subfolders, int files)
{
    const QByteArray data(4096, 'x');
    for (int f = 0; f < folders; ++f) {
        for (int s = 0; s < subfolders; ++s) {
            const QString folder = QStringLiteral("%1/f%2/s%3").arg(root).arg(f).arg(s);
            QDir().mkpath(folder);
            for (int n = 0; n < files; ++n) {
                QFile file(QStringLiteral("%1/file%2.dat").arg(folder).arg(n));
                file.open(QIODevice::WriteOnly);
                file.write(data);
            }
        }
    }
}

void compare(const char* title, const std::vector<double>& ours, const std::vector<double>& tool, const char* toolName)
{
    const double a = median(ours);
    const double b = median(tool);
    const double bestA = *std::min_element(ours.begin(), ours.end());
    const double bestB = *std::min_element(tool.begin(), tool.end());
    std::printf("%-22s ours %.3f s   %-20s %.3f s   ratio %.3f (median of %d; best %.3f / %.3f = %.3f)\n", title, a,
                toolName, b, a / b, kRounds, bestA, bestB, bestA / bestB);
}

// Alternating who goes first, so neither always meets the other's leftover writeback.
void inAlternatingOrder(int round, const std::function<void()>& ours, const std::function<void()>& tool)
{
    (round % 2 ? tool : ours)();
    (round % 2 ? ours : tool)();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("TMPDIR", "/var/tmp");
    struct statfs fs{};
    if (statfs(base.toLocal8Bit().constData(), &fs) != 0 || fs.f_type == TMPFS_MAGIC) {
        std::fprintf(stderr, "%s: give a folder on a disk file system (not tmpfs)\n", qPrintable(base));
        return 2;
    }
    QTemporaryDir work(base + "/bench_copy-XXXXXX");
    const QString root = work.path();
    hb::AccessRegistry::grantStanding(root);
    std::printf("folder %s (file system type 0x%lx)\n", qPrintable(root), static_cast<unsigned long>(fs.f_type));

    // One large file with byte progress.
    const qint64 size = qint64(1) << 30;
    const QString big = root + "/big.bin";
    writeBigFile(big, size);
    sync();
    const long peakBefore = ownPeakKiB();
    std::vector<double> ours, cpAuto, cpNever;
    for (int round = 0; round < kRounds; ++round) {
        const QString ourCopy = root + "/big.ours";
        const QString theirCopy = root + "/big.cp";
        const auto oursOnce = [&] {
            std::uint64_t bytes = 0;
            std::int32_t items = 0;
            ours.push_back(runOurs(big, ourCopy, &bytes, &items).seconds);
            if (bytes != quint64(size) || items != 1) {
                std::fprintf(stderr, "progress counted %llu bytes, %d items\n", static_cast<unsigned long long>(bytes),
                             items);
                std::exit(1);
            }
            settle(ourCopy);
        };
        const auto cpOnce = [&] {
            cpAuto.push_back(runTool({"cp", big.toLocal8Bit().constData(), theirCopy.toLocal8Bit().constData()}).seconds);
            settle(theirCopy);
            cpNever.push_back(runTool({"cp", "--reflink=never", big.toLocal8Bit().constData(),
                                       theirCopy.toLocal8Bit().constData()}).seconds);
            settle(theirCopy);
        };
        inAlternatingOrder(round, oursOnce, cpOnce);
    }
    const long peakAfterBig = ownPeakKiB();
    compare("1 GiB file", ours, cpAuto, "cp");
    compare("1 GiB file", ours, cpNever, "cp --reflink=never");
    QFile::remove(big);
    sync();

    // A tree of 20,000 small files.
    const QString tree = root + "/tree";
    makeTree(tree, 20, 10, 100);
    sync();
    std::vector<double> oursTree, cpTree;
    for (int round = 0; round < kRounds; ++round) {
        const QString ourCopy = root + "/tree.ours";
        const QString theirCopy = root + "/tree.cp";
        const auto oursOnce = [&] {
            std::uint64_t bytes = 0;
            std::int32_t items = 0;
            oursTree.push_back(runOurs(tree, ourCopy, &bytes, &items).seconds);
            if (items != 20000 + 20 * 10 + 20 + 1 || bytes != 20000ull * 4096) {
                std::fprintf(stderr, "progress counted %llu bytes, %d items\n", static_cast<unsigned long long>(bytes),
                             items);
                std::exit(1);
            }
            settle(ourCopy);
        };
        const auto cpOnce = [&] {
            cpTree.push_back(
                runTool({"cp", "-a", tree.toLocal8Bit().constData(), theirCopy.toLocal8Bit().constData()}).seconds);
            settle(theirCopy);
        };
        inAlternatingOrder(round, oursOnce, cpOnce);
    }
    compare("20,000 files of 4 KiB", oursTree, cpTree, "cp -a");
    std::printf("peak RSS of the driver: %ld KiB before copying, %ld KiB after the 1 GiB copies, %ld KiB after the "
                "trees\n",
                peakBefore, peakAfterBig, ownPeakKiB());
    return 0;
}
