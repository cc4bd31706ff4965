#include "TestEnvironment.h"

#include "core/store/HBURL.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Bookmark.h"
#include "tests/platform/files/LoopVolume.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <thread>
#include <vector>

using namespace hb;

namespace {

URL fileURL(const QString& path, bool isDirectory = false)
{
    return URL::fileURLWithPath(path, isDirectory);
}

QByteArray stored(const QString& path)
{
    return UserDefaults::standard().dataForKey(path);
}

}  // namespace

class HBURLTest : public HarbrillTest {
protected:
    // The user chose `path` in an open panel in an earlier run: its bookmark is stored and no grant is left.
    void grantInEarlierRun(const QString& path)
    {
        env.grant(path);
        ASSERT_TRUE(store.bookmark(fileURL(path, true), false)) << path.toStdString();
        AccessRegistry::resetForTesting();
    }
    // No scope may stay open after an operation of the store.
    void expectNoScopeLeft(const QString& path) { EXPECT_FALSE(AccessRegistry::hasAccess(path)); }

    HBURL& store = HBURL::shared();
};

TEST_F(HBURLTest, DirectorySizeCountsFilesOnly)
{
    const QString folder = env.makeFolder("folder");
    env.writeFile("folder/a", QByteArray(100, 'a'));
    env.writeFile("folder/b", QByteArray(50, 'b'));
    env.makeFolder("folder/empty");
    grantInEarlierRun(folder);
    EXPECT_EQ(store.directorySize(fileURL(folder, true)), (std::pair<quint64, qint64>(150, 2)));
    expectNoScopeLeft(folder);
    EXPECT_EQ(store.directorySize(fileURL(env.makeFolder("uncovered"), true)), (std::pair<quint64, qint64>(0, 0)));
}

TEST_F(HBURLTest, DirectoryContentsCountsHiddenEntriesNotDescendants)
{
    const QString desktop = env.makeFolder("Desktop");
    for (const char* name : {"one", "two", "three", ".hidden"})
        env.writeFile(QString("Desktop/") + name, "");
    for (int i = 0; i < 10; ++i)
        env.writeFile(QString("Desktop/sub/%1").arg(i), "");
    grantInEarlierRun(desktop);
    EXPECT_EQ(store.directoryContents(fileURL(desktop, true)), 5);
    expectNoScopeLeft(desktop);
    EXPECT_EQ(store.directoryContents(fileURL(env.makeFolder("uncovered"), true)), 0);
}

TEST_F(HBURLTest, StoredBookmarkFollowsRenameAndMovesItsKey)
{
    const QString old = env.makeFolder("Projects");
    grantInEarlierRun(old);
    const QString renamed = env.root() + "/Projects 2024";
    ASSERT_TRUE(QDir().rename(old, renamed));

    const auto url = store.bookmarkedURL(fileURL(old, true));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path(), renamed);
    EXPECT_TRUE(url->isSecurityScoped());
    EXPECT_TRUE(stored(old).isEmpty());
    EXPECT_FALSE(stored(renamed).isEmpty());

    // Under the new path the entry is refreshed once, then settles.
    ASSERT_TRUE(store.bookmarkedURL(fileURL(renamed, true)));
    const QByteArray settled = stored(renamed);
    bool stale = true;
    EXPECT_TRUE(Bookmark::resolve(settled, 0, &stale));
    EXPECT_FALSE(stale);
    EXPECT_EQ(store.bookmarkedURL(fileURL(renamed, true))->path(), renamed);
    EXPECT_EQ(stored(renamed), settled);
    expectNoScopeLeft(renamed);
}

TEST_F(HBURLTest, LookupThroughRenamedAncestorSettlesAtOnce)
{
    const QString old = env.makeFolder("Photos");
    env.writeFile("Photos/a.jpg", "a");
    grantInEarlierRun(old);
    const QString renamed = env.root() + "/Pictures";
    ASSERT_TRUE(QDir().rename(old, renamed));

    const auto url = store.bookmarkedURL(fileURL(old + "/a.jpg"));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path(), renamed);
    bool stale = true;
    EXPECT_TRUE(Bookmark::resolve(stored(renamed), 0, &stale));
    EXPECT_FALSE(stale);  // the refreshed data was kept, so the next item's lookup writes nothing
    expectNoScopeLeft(renamed);
}

TEST_F(HBURLTest, NearestBookmarkedAncestorCoversAnItem)
{
    const QString folder = env.makeFolder("folder");
    const QString file = env.writeFile("folder/deep/er/file", "x");
    grantInEarlierRun(folder);

    const auto url = store.bookmarkedURL(fileURL(file));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path(), folder);
    EXPECT_TRUE(url->isSecurityScoped());
    EXPECT_TRUE(stored(file).isEmpty());  // no scope was open, so none was made for the item
    expectNoScopeLeft(file);

    EXPECT_TRUE(store.isReadable(fileURL(file)));
    EXPECT_TRUE(store.isWritable(fileURL(file)));
    EXPECT_FALSE(store.isVolume(fileURL(file)));
    expectNoScopeLeft(file);
}

// Right after the user granted a folder, its items could each get a bookmark of their own; the
// folder's covers them, so a thousand files handed over add nothing to the settings, one by one or
// in a run. An item under no bookmarked folder still gets its own while access allows.
TEST_F(HBURLTest, ItemsOfAFolderGrantedJustNowAreCoveredByItsBookmarkAlone)
{
    const QString folder = env.makeFolder("granted");
    QList<URL> items;
    for (int i = 0; i < 1000; ++i)
        items << fileURL(env.writeFile(QStringLiteral("granted/sub/%1.txt").arg(i), "x"));
    env.grant(folder);
    ASSERT_TRUE(store.bookmark(fileURL(folder, true), false));

    const auto one = store.bookmarkedURL(items.first());
    ASSERT_TRUE(one);
    EXPECT_EQ(one->path(), folder);
    for (const auto& scope : store.bookmarkedURLs(items)) {
        ASSERT_TRUE(scope);
        EXPECT_EQ(scope->path(), folder);
    }
    for (const URL& item : items)
        ASSERT_TRUE(stored(item.path()).isEmpty()) << item.path().toStdString();

    const QString elsewhere = env.writeFile("elsewhere/file", "x");
    env.grant(elsewhere);
    ASSERT_TRUE(store.bookmarkedURL(fileURL(elsewhere)));
    EXPECT_FALSE(stored(elsewhere).isEmpty());
}

TEST_F(HBURLTest, RootBookmarkCoversEverything)
{
    const QString file = env.writeFile("somewhere/file", "x");
    EXPECT_FALSE(store.bookmarkedURL(fileURL("/", true)));
    EXPECT_FALSE(store.bookmarkedURL(fileURL(file)));

    grantInEarlierRun("/");
    const auto url = store.bookmarkedURL(fileURL(file));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path(), "/");
    EXPECT_TRUE(store.isVolume(fileURL("/", true)));
}

TEST_F(HBURLTest, UncoveredFolderIsNeitherWritableNorReadable)
{
    const QString folder = env.makeFolder("uncovered");
    EXPECT_FALSE(store.isWritable(fileURL(folder, true)));
    EXPECT_FALSE(store.isReadable(fileURL(folder, true)));
    EXPECT_FALSE(store.bookmark(fileURL(folder, true), false));
    EXPECT_TRUE(stored(folder).isEmpty());
}

TEST_F(HBURLTest, StaleBookmarkOnExternalVolumeGivesNone)
{
    const QString mountPoint = env.root() + "/External";
    LoopVolume volume(mountPoint);
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume.reason().toStdString());
    QDir().mkpath(mountPoint + "/Photos");
    grantInEarlierRun(mountPoint + "/Photos");
    EXPECT_TRUE(store.bookmarkedURL(fileURL(mountPoint + "/Photos", true)));
    ASSERT_TRUE(QDir().rename(mountPoint + "/Photos", mountPoint + "/Pictures"));
    EXPECT_FALSE(store.bookmarkedURL(fileURL(mountPoint + "/Photos", true)));
    EXPECT_FALSE(stored(mountPoint + "/Photos").isEmpty());  // the entry stays for the caller to judge
}

TEST_F(HBURLTest, UndoDataIsFreshUnstoredAndFollowsRenames)
{
    const QString folder = env.makeFolder("dest");
    const QString item = env.writeFile("dest/moved.txt", "x");
    grantInEarlierRun(folder);

    const auto data = store.scopedBookmarkData(fileURL(item));
    ASSERT_TRUE(data);
    EXPECT_TRUE(stored(item).isEmpty());
    ASSERT_TRUE(QFile::rename(item, folder + "/renamed.txt"));
    const auto url = store.resolveRefreshingBookmark(*data);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path(), folder + "/renamed.txt");
    EXPECT_TRUE(stored(folder + "/renamed.txt").isEmpty());
    expectNoScopeLeft(folder);
    EXPECT_FALSE(store.scopedBookmarkData(fileURL(env.writeFile("elsewhere", "x"))));
}

// Shifts on several threads look items up at once; one lookup refreshing the stale entry of a renamed
// folder must never leave another without the grant.
TEST_F(HBURLTest, LookupsOnSeveralThreadsUnderARenamedFolderAllFindTheGrant)
{
    const QString old = env.makeFolder("Photos");
    grantInEarlierRun(old);
    const QString renamed = env.root() + "/Pictures";
    ASSERT_TRUE(QDir().rename(old, renamed));
    for (int i = 0; i < 4; ++i)
        env.writeFile(QString("Pictures/%1.jpg").arg(i), "p");

    // The first lookup through the old path stores the grant under the new one as well.
    ASSERT_TRUE(store.bookmarkedURL(fileURL(old + "/1.jpg")));
    ASSERT_TRUE(store.bookmarkedURL(fileURL(renamed + "/0.jpg")));
    std::atomic<int> missing{0};
    std::vector<std::thread> shifts;
    for (int t = 0; t < 4; ++t) {
        // Half of them still name the folder by its old path, as a destination stored before the rename.
        const QString folder = t % 2 ? old : renamed;
        shifts.emplace_back([&, folder, t] {
            for (int round = 0; round < 100; ++round) {
                if (!store.bookmarkedURL(fileURL(QString("%1/%2.jpg").arg(folder).arg(t))))
                    ++missing;
            }
        });
    }
    for (auto& shift : shifts)
        shift.join();
    EXPECT_EQ(missing.load(), 0);
    expectNoScopeLeft(renamed);
}
