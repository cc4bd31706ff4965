// Times the folder sizing of the bookmark store on a 100,000-item tree beside `du -sb` on the same tree.
// Usage: bench_directory_size [folders] [files-per-folder]
#include "core/store/HBURL.h"
#include "platform/base/Locations.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// 100 folders of 10 subfolders of `files` files each, sizes 0..99 bytes.
qint64 makeTree(const QString& root, int folders, int files)
{
    qint64 items = 0;
    for (int f = 0; f < folders; ++f) {
        for (int s = 0; s < 10; ++s) {
            const QString sub = QStringLiteral("%1/f%2/s%3").arg(root).arg(f).arg(s);
            QDir().mkpath(sub);
            items += s == 0 ? 2 : 1;
            for (int i = 0; i < files; ++i) {
                const QByteArray path = QStringLiteral("%1/file%2").arg(sub).arg(i).toUtf8();
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                const QByteArray data((f + s + i) % 100, 'x');
                if (fd >= 0 && ::write(fd, data.constData(), data.size()) == data.size())
                    ++items;
                ::close(fd);
            }
        }
    }
    return items;
}

double bestOf(int runs, const std::function<void()>& work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int folders = argc > 1 ? std::atoi(argv[1]) : 100;
    const int files = argc > 2 ? std::atoi(argv[2]) : 99;

    QTemporaryDir base;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, (base.path() + "/" + variable).toUtf8());
    hb::Locations::setUserDatabaseHome(base.path());
    const QString tree = base.path() + "/tree";
    const qint64 items = makeTree(tree, folders, files);

    // Granted in an earlier run: only the stored bookmark opens the folder.
    hb::AccessRegistry::grantStanding(tree);
    const hb::URL url = hb::URL::fileURLWithPath(tree, true);
    if (!HBURL::shared().bookmark(url, false)) {
        std::fprintf(stderr, "could not bookmark %s\n", qPrintable(tree));
        return 1;
    }
    hb::AccessRegistry::resetForTesting();

    std::pair<quint64, qint64> result;
    const double ours = bestOf(5, [&] { result = HBURL::shared().directorySize(url); });
    QByteArray duOutput;
    const double du = bestOf(5, [&] {
        QProcess process;
        process.start("du", {"-sb", tree});
        process.waitForFinished(-1);
        duOutput = process.readAllStandardOutput().split('\t').value(0);
    });

    std::printf("tree: %lld items (%d folders x 10 subfolders x %d files)\n", items, folders, files);
    std::printf("HBURL::directorySize  %8.1f ms  (%llu bytes in %lld files)\n", ours,
                static_cast<unsigned long long>(result.first), static_cast<long long>(result.second));
    std::printf("du -sb                %8.1f ms  (%s bytes, folders included)\n", du, duOutput.constData());
    std::printf("ratio ours/du         %8.2f\n", ours / du);
    return 0;
}
