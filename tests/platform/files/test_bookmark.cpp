#include "TestEnvironment.h"

#include "CopyFixtures.h"
#include "LoopVolume.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Bookmark.h"
#include "platform/files/ResourceValues.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

using namespace hb;

namespace {

constexpr unsigned kScope = NSURLBookmarkCreationWithSecurityScope;
constexpr unsigned kResolveScope = NSURLBookmarkResolutionWithSecurityScope;

struct Resolution {
    std::optional<URL> url;
    bool stale = false;
};

Resolution resolve(const QByteArray& data, unsigned options = kResolveScope)
{
    Resolution r;
    r.url = Bookmark::resolve(data, options, &r.stale);
    return r;
}

// Replaces the trailing checksum so a test can reach the checks behind it.
QByteArray withChecksum(QByteArray data)
{
    const qsizetype body = data.size() - 8;
    quint64 hash = 0xcbf29ce484222325ULL;
    for (qsizetype i = 0; i < body; ++i) {
        hash ^= quint8(data[i]);
        hash *= 0x100000001b3ULL;
    }
    for (int i = 0; i < 8; ++i)
        data[body + i] = char(hash >> (8 * i));
    return data;
}

void putU32(QByteArray& data, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = char(value >> (8 * i));
}

}  // namespace

class BookmarkTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        work = env.makeFolder("work");
        env.grant(work);
    }
    std::optional<QByteArray> create(const QString& path, Error* error = nullptr)
    {
        return Bookmark::create(URL::fileURLWithPath(path), kScope, {NSURLTotalFileSizeKey}, error);
    }
    QString work;
};

TEST_F(BookmarkTest, CreationNeedsAccessToAnExistingItem)
{
    env.writeFile("outside/file", "x");
    Error error;
    EXPECT_FALSE(create(env.root() + "/outside/file", &error));
    EXPECT_EQ(error.domain, NSCocoaErrorDomain);
    EXPECT_EQ(error.code, NSFileReadNoPermissionError);
    EXPECT_FALSE(create(work + "/missing", &error));

    // A link inside the grant does not lend its target's access.
    ASSERT_TRUE(QFile::link(env.root() + "/outside", work + "/link"));
    EXPECT_FALSE(create(work + "/link/file"));
}

TEST_F(BookmarkTest, LinkIsBookmarkedOnlyWithAccessToItsTarget)
{
    // Its scope would open the target: a link in the grant must not become a way out of it.
    const QString outside = env.makeFolder("outside");
    env.makeFolder("work/inside");
    ASSERT_TRUE(QFile::link(outside, work + "/out"));
    ASSERT_TRUE(QFile::link(work + "/inside", work + "/in"));
    const struct {
        const char* link;
        bool made;
    } cases[] = {{"/out", false}, {"/in", true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.link);
        const auto data = create(work + test.link);
        EXPECT_EQ(data.has_value(), test.made);
    }
    EXPECT_FALSE(AccessRegistry::hasAccess(outside));
}

// A bookmarked file or folder replaced by a link of the same name (whose inode number may be the
// freed one's) is gone: the link is not taken for it, and no scope opens where the link points.
TEST_F(BookmarkTest, AnItemReplacedByALinkDoesNotResolve)
{
    const QString outside = env.makeFolder("outside");
    env.writeFile("outside/secret", "s");
    struct Case {
        const char* name;
        bool folder;
    };
    for (const Case c : {Case{"file", false}, Case{"folder", true}}) {
        const QString item = work + "/" + c.name;
        if (c.folder)
            env.makeFolder(QString("work/") + c.name);
        else
            env.writeFile(QString("work/") + c.name, "mine");
        const auto data = create(item);
        ASSERT_TRUE(data) << c.name;
        ASSERT_TRUE(c.folder ? QDir(item).removeRecursively() : QFile::remove(item)) << c.name;
        ASSERT_TRUE(QFile::link(c.folder ? outside : outside + "/secret", item)) << c.name;

        AccessRegistry::resetForTesting();
        const Resolution resolved = resolve(*data);
        EXPECT_FALSE(resolved.url) << c.name;
        if (resolved.url) {
            startAccessingSecurityScopedResource(*resolved.url);
            EXPECT_FALSE(AccessRegistry::hasReadAccess(outside + "/secret")) << c.name;
            stopAccessingSecurityScopedResource(*resolved.url);
        }
        env.grant(work);
    }
}

// Between resolving a bookmark and starting its scope, a folder on the item's path is swapped for a link
// to a place holding an item of the same name: the scope must not open there.
TEST_F(BookmarkTest, AScopeOpensOnlyOnTheItemItsBookmarkResolvedTo)
{
    env.writeFile("work/sub/item/file", "mine");
    env.writeFile("outside/item/secret", "s");
    ASSERT_TRUE(QFile::link(env.root() + "/outside", work + "/swap"));
    const auto data = create(work + "/sub/item");
    ASSERT_TRUE(data);
    AccessRegistry::resetForTesting();  // a later run: only the bookmark opens the item
    const Resolution resolved = resolve(*data);
    ASSERT_TRUE(resolved.url);

    const auto exchange = [&] {
        return ::renameat2(AT_FDCWD, QFile::encodeName(work + "/sub").constData(), AT_FDCWD,
                           QFile::encodeName(work + "/swap").constData(), RENAME_EXCHANGE)
               == 0;
    };
    ASSERT_TRUE(exchange());
    EXPECT_FALSE(startAccessingSecurityScopedResource(*resolved.url));
    EXPECT_FALSE(AccessRegistry::hasReadAccess(env.root() + "/outside/item/secret"));
    stopAccessingSecurityScopedResource(*resolved.url);

    ASSERT_TRUE(exchange());
    EXPECT_TRUE(startAccessingSecurityScopedResource(*resolved.url));
    EXPECT_TRUE(AccessRegistry::hasReadAccess(work + "/sub/item/file"));
    stopAccessingSecurityScopedResource(*resolved.url);
    EXPECT_FALSE(AccessRegistry::hasReadAccess(work + "/sub/item/file"));
}

TEST_F(BookmarkTest, TheScopeOfALinkOpensTheLinkNotItsFarEnd)
{
    const QString outside = env.makeFolder("outside");
    env.writeFile("outside/secret", "s");
    env.makeFolder("work/inside");
    ASSERT_TRUE(QFile::link(work + "/inside", work + "/link"));
    const auto data = create(work + "/link");
    ASSERT_TRUE(data);
    // The link now points elsewhere: still the recorded link, by name.
    ASSERT_TRUE(QFile::remove(work + "/link"));
    ASSERT_TRUE(QFile::link(outside, work + "/link"));

    AccessRegistry::resetForTesting();
    const Resolution resolved = resolve(*data);
    ASSERT_TRUE(resolved.url);
    ASSERT_TRUE(startAccessingSecurityScopedResource(*resolved.url));
    EXPECT_TRUE(AccessRegistry::hasAccess(work + "/link", false));
    EXPECT_FALSE(AccessRegistry::hasReadAccess(work + "/link/secret"));
    EXPECT_FALSE(AccessRegistry::hasReadAccess(outside));
    stopAccessingSecurityScopedResource(*resolved.url);
}

TEST_F(BookmarkTest, ResolvesInPlaceWithTheScopeAsAsked)
{
    const QString file = env.writeFile("work/a/file", "12345");
    const auto data = create(file);
    ASSERT_TRUE(data);
    AccessRegistry::resetForTesting();  // resolution needs no access

    const Resolution scoped = resolve(*data);
    ASSERT_TRUE(scoped.url);
    EXPECT_EQ(scoped.url->path(), file);
    EXPECT_FALSE(scoped.stale);
    EXPECT_TRUE(scoped.url->isSecurityScoped());
    EXPECT_FALSE(resolve(*data, 0).url->isSecurityScoped());

    QFile::remove(file);
    const auto values = Bookmark::resourceValues(*data, {NSURLTotalFileSizeKey, NSURLVolumeIsInternalKey});
    ASSERT_TRUE(values);
    EXPECT_EQ(values->value(NSURLTotalFileSizeKey).toULongLong(), 5u);
    EXPECT_EQ(values->value(NSURLVolumeIsInternalKey), true);
    EXPECT_FALSE(resolve(*data).url);
}

TEST_F(BookmarkTest, FollowsRenamesAndMovesThroughAncestors)
{
    const struct {
        const char* name;
        QString item;      // relative to work
        QString from, to;  // rename done after creation
        QString expected;  // where it resolves, empty for a failure
    } cases[] = {
        {"item renamed", "a/b/file", "a/b/file", "a/b/renamed", "a/b/renamed"},
        {"parent renamed", "a/b/file", "a/b", "a/c", "a/c/file"},
        {"grandparent renamed", "a/b/file", "a", "z", "z/b/file"},
        {"folder renamed", "a/b", "a/b", "a/d", "a/d"},
        {"item moved away from its folder", "a/b/file", "a/b/file", "a/file", ""},
        {"item deleted", "a/b/file", "a/b/file", "", ""},
    };
    for (const auto& c : cases) {
        QDir(work).removeRecursively();
        env.writeFile("work/a/b/file", "x");
        env.grant(work);
        const auto data = create(work + "/" + c.item);
        ASSERT_TRUE(data) << c.name;
        if (c.to.isEmpty())
            QFile::remove(work + "/" + c.from);
        else
            ASSERT_TRUE(QDir().rename(work + "/" + c.from, work + "/" + c.to)) << c.name;
        const Resolution r = resolve(*data);
        if (c.expected.isEmpty()) {
            EXPECT_FALSE(r.url) << c.name;
            continue;
        }
        ASSERT_TRUE(r.url) << c.name;
        EXPECT_EQ(r.url->path(), work + "/" + c.expected) << c.name;
        EXPECT_TRUE(r.stale) << c.name;
        EXPECT_TRUE(r.url->isSecurityScoped()) << c.name;
    }
}

TEST_F(BookmarkTest, ReplacedItemResolvesStaleAtItsPath)
{
    const QString file = env.writeFile("work/doc", "one");
    const auto data = create(file);
    // Saved the way editors save: a new file renamed over the old one.
    ASSERT_EQ(::rename(env.writeFile("work/doc.new", "two").toUtf8().constData(), file.toUtf8().constData()), 0);
    const Resolution r = resolve(*data);
    ASSERT_TRUE(r.url);
    EXPECT_EQ(r.url->path(), file);
    EXPECT_TRUE(r.stale);
}

TEST_F(BookmarkTest, UnmountedVolumeFails)
{
    const QString mountPoint = work + "/volume";
    LoopVolume volume(mountPoint);
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume.reason().toStdString());
    QDir().mkpath(mountPoint + "/folder");
    const auto data = create(mountPoint + "/folder");
    ASSERT_TRUE(data);
    EXPECT_EQ(Bookmark::resourceValues(*data, {NSURLVolumeIsInternalKey})->value(NSURLVolumeIsInternalKey), false);
    volume.unmount();
    QDir().mkpath(mountPoint + "/folder");  // a same-named folder on the disk below is another item
    EXPECT_FALSE(resolve(*data).url);
}

// Another drive mounted where the bookmarked one was (the same loop device, so the same device number,
// and the same inode for its root) is another item; the bookmarked drive counts as absent.
TEST_F(BookmarkTest, AnotherDriveMountedWhereTheBookmarkedOneWasIsAnotherItem)
{
    const QString mountPoint = work + "/volume";
    std::optional<QByteArray> data;
    {
        LoopVolume first(mountPoint);
        if (!first.isMounted())
            HB_SKIP_WITHOUT_ROOT_SETUP(first.reason().toStdString());
        data = create(mountPoint);
        ASSERT_TRUE(data);
        EXPECT_TRUE(resolve(*data).url);
        EXPECT_FALSE(Bookmark::isOnAbsentVolume(*data));
    }
    EXPECT_TRUE(Bookmark::isOnAbsentVolume(*data));
    LoopVolume second(mountPoint);
    ASSERT_TRUE(second.isMounted()) << second.reason().toStdString();
    EXPECT_FALSE(resolve(*data).url);
    EXPECT_TRUE(Bookmark::isOnAbsentVolume(*data));
}

TEST_F(BookmarkTest, MalformedDataFailsCleanly)
{
    const auto made = create(env.writeFile("work/a/file", "x"));
    ASSERT_TRUE(made);
    const QByteArray data = *made;
    const qsizetype pathLength = 4 + 2 + 2;  // the path's length field follows magic, version and flags

    QList<QPair<QString, QByteArray>> cases;
    for (qsizetype size = 0; size < data.size(); size += (size < 64 ? 1 : 7))
        cases.append({QString("truncated to %1").arg(size), data.left(size)});
    cases.append({"garbage", QByteArray(200, '\x5a')});
    for (qsizetype at : {qsizetype(0), qsizetype(5), pathLength + 6, data.size() / 2, data.size() - 1}) {
        QByteArray flipped = data;
        flipped[at] = char(flipped[at] ^ 0x40);
        cases.append({QString("bit flip at %1").arg(at), flipped});
    }
    QByteArray longPath = data;
    putU32(longPath, pathLength, 0xffffffffu);
    cases.append({"path length overflows", withChecksum(longPath)});
    QByteArray shortPath = data;
    putU32(shortPath, pathLength, 1);
    cases.append({"path length too short", withChecksum(shortPath)});
    QByteArray ancestors = data;
    const qsizetype ancestorCount = pathLength + 4 + QByteArray(work.toUtf8() + "/a/file").size() + 24;
    putU32(ancestors, ancestorCount, 0x7fffffffu);
    cases.append({"ancestor count overflows", withChecksum(ancestors)});
    QByteArray version = data;
    version[4] = 9;
    cases.append({"unknown version", withChecksum(version)});
    cases.append({"trailing bytes", withChecksum(data + QByteArray(8, '\0'))});

    for (const auto& [name, bytes] : cases) {
        bool stale = true;
        Error error;
        EXPECT_FALSE(Bookmark::resolve(bytes, kResolveScope, &stale, &error)) << name.toStdString();
        EXPECT_FALSE(stale) << name.toStdString();
        EXPECT_FALSE(Bookmark::resourceValues(bytes, {NSURLTotalFileSizeKey})) << name.toStdString();
    }
    EXPECT_TRUE(resolve(withChecksum(data)).url);
}

TEST_F(BookmarkTest, RunOfItemsGivesWhatEachCreationGives)
{
    for (const char* file : {"a/b/1", "a/b/2", "a/3", "c/4"})
        env.writeFile(QString("work/") + file, file);
    ASSERT_TRUE(QFile::link(env.root() + "/outside", work + "/a/b/link"));
    Bookmark::Maker maker;
    auto both = [&](const QString& relative) {
        const URL url = URL::fileURLWithPath(work + "/" + relative);
        Error single;
        Error inRun;
        const auto expected = Bookmark::create(url, kScope, {NSURLTotalFileSizeKey}, &single);
        const auto made = maker.create(url, kScope, {NSURLTotalFileSizeKey}, &inRun);
        EXPECT_EQ(made, expected) << relative.toStdString();
        EXPECT_EQ(inRun.code, single.code) << relative.toStdString();
        return made;
    };
    for (const char* item : {"a/b/1", "a/3", "a/b/2", "c/4", "a/b", "a/b/link", "a/b/missing"})
        both(item);

    // A folder of the run renamed, and another put in its place: its items are new ones.
    const auto before = both("a/b/1");
    ASSERT_TRUE(QDir().rename(work + "/a", work + "/z"));
    env.writeFile("work/a/b/1", "other");
    const auto after = both("a/b/1");
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_EQ(resolve(*before).url->path(), work + "/z/b/1");
    EXPECT_EQ(resolve(*after).url->path(), work + "/a/b/1");
    both("z/b/2");
}

// Only readable items get data from createIfReadable(), and theirs is what create() makes.
TEST_F(BookmarkTest, RunOfReadableItemsLeavesOutWhatCannotBeRead)
{
    env.writeFile("work/readable", "r");
    const QString locked = env.writeFile("work/locked", "l");
    ASSERT_EQ(::chmod(locked.toUtf8().constData(), 0), 0);
    WithoutFilePermissionOverride asAnyUser;
    Bookmark::Maker maker;
    const URL readable = URL::fileURLWithPath(work + "/readable");
    const auto made = maker.createIfReadable(readable, kScope, {NSURLTotalFileSizeKey});
    ASSERT_TRUE(made);
    EXPECT_EQ(made, Bookmark::create(readable, kScope, {NSURLTotalFileSizeKey}));
    Error error;
    EXPECT_FALSE(maker.createIfReadable(URL::fileURLWithPath(locked), kScope, {NSURLTotalFileSizeKey}, &error));
    EXPECT_EQ(error.code, NSFileReadNoPermissionError);
    EXPECT_TRUE(maker.create(URL::fileURLWithPath(locked), kScope, {NSURLTotalFileSizeKey}));
}
