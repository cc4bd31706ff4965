#include "TestEnvironment.h"

#include "platform/files/CopyFile.h"
#include "platform/files/FileManager.h"
#include "platform/files/ResourceValues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

using namespace hb;

namespace {

URL fileURL(const QString& path)
{
    return URL::fileURLWithPath(path);
}

ino_t inode(int folder, const char* name)
{
    struct stat st {};
    return ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? st.st_ino : 0;
}

QByteArray contentsAt(int folder, const char* name)
{
    QByteArray data(64, '\0');
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const ssize_t n = fd >= 0 ? ::read(fd, data.data(), data.size()) : -1;
    if (fd >= 0)
        ::close(fd);
    return n >= 0 ? data.left(n) : QByteArray("<missing>");
}

bool writeAt(int folder, const char* name, const QByteArray& contents)
{
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, contents.constData(), contents.size()) == contents.size();
    if (fd >= 0)
        ::close(fd);
    return written;
}

// One granted folder "<parent>/sub" with the file "v", beside "<parent>/swap", a link to a folder outside
// every grant that holds a "v" of its own and a "secret". Exchanging "sub" and "swap" at any moment must
// never let an operation on "<parent>/sub/..." reach the outside folder. Descriptors of the real folders
// tell what an operation did, whatever the names show at that moment.
struct Stage {
    QString parent;
    QString sub;
    int parentFd = -1;
    int subFd = -1;
    int outsideFd = -1;
    ino_t insideV = 0;
    ino_t outsideV = 0;
    ino_t outsideSecret = 0;
    bool linked = false;

    Stage(const QString& granted, const QString& outside) : parent(granted), sub(granted + "/sub")
    {
        QDir().mkpath(sub);
        QDir().mkpath(outside);
        linked = ::symlink(outside.toUtf8().constData(), (parent + "/swap").toUtf8().constData()) == 0;
        parentFd = ::open(parent.toUtf8().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        subFd = ::open(sub.toUtf8().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        outsideFd = ::open(outside.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        writeAt(subFd, "v", "inside");
        writeAt(parentFd, "file", "to copy");
        writeAt(outsideFd, "v", "outside");
        writeAt(outsideFd, "secret", "secret");
        insideV = inode(subFd, "v");
        outsideV = inode(outsideFd, "v");
        outsideSecret = inode(outsideFd, "secret");
    }
    ~Stage()
    {
        if (inode(parentFd, "sub") != inode(subFd, "."))
            exchange();
        ::close(parentFd);
        ::close(subFd);
        ::close(outsideFd);
    }
    bool isSet() const { return linked && insideV != 0 && outsideV != 0 && outsideSecret != 0; }

    bool exchange() const { return ::renameat2(parentFd, "sub", parentFd, "swap", RENAME_EXCHANGE) == 0; }

    // The outside folder holds exactly what it held at the start.
    bool outsideUntouched() const
    {
        int entries = 0;
        if (DIR* dir = ::fdopendir(::openat(outsideFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))) {
            while (::readdir(dir))
                ++entries;
            ::closedir(dir);
        }
        return entries == 4 && inode(outsideFd, "v") == outsideV && inode(outsideFd, "secret") == outsideSecret;
    }
};

// What an operation did, as seen from the real folders.
enum class Effect { refused, actedInside, actedElsewhere };

struct Operation {
    const char* name;
    std::function<Effect(FileManager&, Stage&)> run;  // undoes what it did inside, so every run starts alike
};

Effect judge(bool inside)
{
    return inside ? Effect::actedInside : Effect::actedElsewhere;
}

const Operation kOperations[] = {
    {"remove",
     [](FileManager& manager, Stage& s) {
         if (!manager.removeItem(fileURL(s.sub + "/v")))
             return Effect::refused;
         const bool gone = inode(s.subFd, "v") == 0;
         writeAt(s.subFd, "v", "inside");
         s.insideV = inode(s.subFd, "v");
         return judge(gone);
     }},
    {"move out of it",
     [](FileManager& manager, Stage& s) {
         if (!manager.moveItem(fileURL(s.sub + "/v"), fileURL(s.parent + "/moved")))
             return Effect::refused;
         const bool inside = inode(s.parentFd, "moved") == s.insideV;
         ::renameat(s.parentFd, "moved", s.subFd, "v");
         return judge(inside);
     }},
    {"move into it",
     [](FileManager& manager, Stage& s) {
         ::renameat(s.subFd, "v", s.parentFd, "moved");
         const bool moved = manager.moveItem(fileURL(s.parent + "/moved"), fileURL(s.sub + "/v"));
         const bool inside = inode(s.subFd, "v") == s.insideV;
         if (!moved)
             ::renameat(s.parentFd, "moved", s.subFd, "v");
         return moved ? judge(inside) : Effect::refused;
     }},
    {"copy out of it",
     [](FileManager&, Stage& s) {
         if (copyfile((s.sub + "/v").toUtf8().constData(), (s.parent + "/copied").toUtf8().constData(), nullptr,
                      COPYFILE_ALL)
             != 0)
             return Effect::refused;
         const bool inside = contentsAt(s.parentFd, "copied") == "inside";
         ::unlinkat(s.parentFd, "copied", 0);
         return judge(inside);
     }},
    {"copy into it",
     [](FileManager&, Stage& s) {
         if (copyfile((s.parent + "/file").toUtf8().constData(), (s.sub + "/c").toUtf8().constData(), nullptr,
                      COPYFILE_ALL)
             != 0)
             return Effect::refused;
         const bool inside = inode(s.subFd, "c") != 0;
         ::unlinkat(s.subFd, "c", 0);
         return judge(inside);
     }},
    {"enumerate",
     [](FileManager& manager, Stage& s) {
         const auto items = manager.enumerate(URL::fileURLWithPath(s.sub, true), {}, 0);
         if (!items)
             return Effect::refused;
         return judge(items->size() == 1 && items->first().url.lastPathComponent() == "v");
     }},
    {"size",
     [](FileManager& manager, Stage& s) {
         const auto totals = manager.totals(URL::fileURLWithPath(s.sub, true));
         if (!totals)
             return Effect::refused;
         return judge(totals->items == 1 && totals->bytes == 6);
     }},
    {"read a value",
     [](FileManager&, Stage& s) {
         const auto identity = resourceValue(fileURL(s.sub + "/v"), NSURLFileResourceIdentifierKey);
         if (!identity)
             return Effect::refused;
         return judge(identity->toString().endsWith(QStringLiteral(":%1").arg(s.insideV)));
     }},
    {"create a folder",
     [](FileManager& manager, Stage& s) {
         if (!manager.createDirectory(fileURL(s.sub + "/made"), false))
             return Effect::refused;
         return judge(::unlinkat(s.subFd, "made", AT_REMOVEDIR) == 0);
     }},
};
constexpr std::size_t kOperationCount = std::size(kOperations);

}  // namespace

class AccessRaceTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        // In memory: items are made and removed tens of thousands of times, the copies' records included.
        ASSERT_TRUE(memory.isValid());
        qputenv("XDG_DATA_HOME", (memory.path() + "/data").toUtf8());
        for (std::size_t i = 0; i < kOperationCount; ++i) {
            const QString name = QString::number(i);
            stages.push_back(
                std::make_unique<Stage>(memory.path() + "/granted/" + name, memory.path() + "/outside/" + name));
            ASSERT_TRUE(stages.back()->isSet());
        }
        env.grant(memory.path() + "/granted");
    }

    QTemporaryDir memory{"/dev/shm/hb-race-XXXXXX"};
    std::vector<std::unique_ptr<Stage>> stages;  // one per operation
    FileManager manager;
};

// The folder was read once, then replaced by the link: nothing may still be judged by its old name.
TEST_F(AccessRaceTest, NothingReachesThroughALinkSwappedInAfterARead)
{
    for (std::size_t i = 0; i < kOperationCount; ++i) {
        Stage& stage = *stages[i];
        ASSERT_TRUE(resourceValue(fileURL(stage.sub + "/v"), NSURLIsDirectoryKey));
        ASSERT_TRUE(stage.exchange());
        EXPECT_EQ(kOperations[i].run(manager, stage), Effect::refused) << kOperations[i].name;
        EXPECT_TRUE(stage.outsideUntouched()) << kOperations[i].name;
        EXPECT_FALSE(manager.fileExists(stage.sub + "/secret"));
    }
}

// Each operation runs on its own thread against its own folder while one thread exchanges every
// folder with its link in turn, as fast as it can. A folder held open was resolved beneath the grant,
// whatever its name leads to by now.
TEST_F(AccessRaceTest, NothingReachesOutsideWhileFoldersAreSwappedForLinks)
{
    constexpr int kRuns = 20000;
    std::atomic<bool> stop{false};
    std::atomic<long> exchanges{0};
    std::thread swapper([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            for (const auto& stage : stages)
                exchanges.fetch_add(stage->exchange(), std::memory_order_relaxed);
        }
    });
    struct Tally {
        int inside = 0;
        int elsewhere = 0;
        int outsideChanged = 0;
    };
    std::vector<Tally> tallies(kOperationCount);
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < kOperationCount; ++i) {
        workers.emplace_back([&, i] {
            // Every other stretch of runs, a manager that holds the folders it resolved, as a shift's own does.
            std::unique_ptr<FileManager> stageManager;
            Stage& stage = *stages[i];
            Tally& tally = tallies[i];
            for (int run = 0; run < kRuns; ++run) {
                if (run % 100 == 0)
                    stageManager = run % 200 == 0 ? std::make_unique<FileManager>() : FileManager::holdingFolders();
                const Effect effect = kOperations[i].run(*stageManager, stage);
                tally.inside += effect == Effect::actedInside;
                tally.elsewhere += effect == Effect::actedElsewhere;
                tally.outsideChanged += !stage.outsideUntouched();
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    stop = true;
    swapper.join();

    for (std::size_t i = 0; i < kOperationCount; ++i) {
        EXPECT_EQ(tallies[i].elsewhere, 0) << kOperations[i].name;
        EXPECT_EQ(tallies[i].outsideChanged, 0) << kOperations[i].name;
        EXPECT_EQ(contentsAt(stages[i]->outsideFd, "v"), "outside") << kOperations[i].name;
        std::printf("%-16s %5d of %d acted inside the grant, the rest were refused\n", kOperations[i].name,
                    tallies[i].inside, kRuns);
    }
    std::printf("%ld exchanges meanwhile\n", exchanges.load());
}
