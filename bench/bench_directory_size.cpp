// Times the folder sizing of the bookmark store on a 100,000-item tree beside `du -sb` on the same tree.
// Ours runs in-process, du as a process (its start-up is measured and stated). Run it under
// `taskset -c 0` for the one-core comparison: the sizing then reads the tree on one thread.
// Usage: bench_directory_size [folders] [files-per-folder] [rounds]
#include "BenchRounds.h"
#include "app/identity/HarbrillIdentity.h"
#include "core/store/HBURL.h"
#include "platform/base/Locations.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

struct Tree {
    qint64 files = 0;
    qint64 folders = 0;
};

// `folders` folders of 10 subfolders of `files` files each, sizes 0..99 bytes.
Tree makeTree(const QString& root, int folders, int files)
{
    Tree tree;
    for (int f = 0; f < folders; ++f) {
        for (int s = 0; s < 10; ++s) {
            const QString sub = QStringLiteral("%1/f%2/s%3").arg(root).arg(f).arg(s);
            QDir().mkpath(sub);
            tree.folders += s == 0 ? 2 : 1;
            for (int i = 0; i < files; ++i) {
                const QByteArray path = QStringLiteral("%1/file%2").arg(sub).arg(i).toUtf8();
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                const QByteArray data((f + s + i) % 100, 'x');
                bench::check(fd >= 0 && ::write(fd, data.constData(), data.size()) == data.size(), "cannot write %s",
                             path.constData());
                ::close(fd);
                ++tree.files;
            }
        }
    }
    return tree;
}

// du counts the folders' own sizes, which the sizing leaves out; read them with Qt's own walk.
quint64 folderBytes(const QString& root)
{
    quint64 bytes = QFileInfo(root).size();
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += quint64(it.fileInfo().size());
    }
    return bytes;
}

quint64 duTotal(const QString& root)
{
    QProcess du;
    du.start("du", {"-sb", root});
    du.waitForFinished(-1);
    bench::check(du.exitStatus() == QProcess::NormalExit && du.exitCode() == 0, "du -sb failed");
    bool ok = false;
    const quint64 total = du.readAllStandardOutput().split('\t').value(0).toULongLong(&ok);
    bench::check(ok, "du -sb gave no total");
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    QCoreApplication app(argc, argv);
    const int folders = argc > 1 ? std::atoi(argv[1]) : 100;
    const int files = argc > 2 ? std::atoi(argv[2]) : 99;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 7;

    QTemporaryDir base;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, (base.path() + "/" + variable).toUtf8());
    hb::Locations::setUserDatabaseHome(base.path());
    const QString tree = base.path() + "/tree";
    const Tree made = makeTree(tree, folders, files);

    // Granted in an earlier run: only the stored bookmark opens the folder.
    hb::AccessRegistry::grantStanding(tree);
    const hb::URL url = hb::URL::fileURLWithPath(tree, true);
    bench::check(HBURL::shared().bookmark(url, false).has_value(), "could not bookmark %s", qPrintable(tree));
    hb::AccessRegistry::resetForTesting();

    const quint64 duBytes = duTotal(tree);
    const quint64 expectedBytes = duBytes - folderBytes(tree);
    std::pair<quint64, qint64> result;
    const bench::Side ours{
        "HBURL::directorySize",
        {},
        [&] { return bench::measure([&] { result = HBURL::shared().directorySize(url); }); },
        [&] {
            bench::check(result.first == expectedBytes && result.second == made.files,
                         "sizing gave %llu bytes in %lld items, expected %llu in %lld",
                         static_cast<unsigned long long>(result.first), static_cast<long long>(result.second),
                         static_cast<unsigned long long>(expectedBytes), static_cast<long long>(made.files));
        },
    };
    const std::string treePath = tree.toStdString();
    const bench::Side du{
        "du -sb (process)",
        {},
        [&] {
            return bench::runTool({"du", "-sb", treePath});
        },
        // The timed run's output is discarded; the same tree must still give the total it gave at the start.
        [&] { bench::check(duTotal(tree) == duBytes, "du -sb changed its total"); },
    };

    std::printf("tree: %lld files in %lld folders (%d x 10 subfolders x %d files), %llu bytes of data\n",
                static_cast<long long>(made.files), static_cast<long long>(made.folders), folders, files,
                static_cast<unsigned long long>(expectedBytes));
    const bench::Sample start = bench::processStartCost();
    std::printf("starting and reaping a process: wall %.4f s, cpu %.4f s (in du's figures, not in ours)\n", start.wall,
                start.cpu);
    bench::compare("Sizing a tree (A) against du -sb (B)", ours, du, rounds);
    return 0;
}
