#include "TestEnvironment.h"

#include "core/engine/UndoData.h"
#include "core/store/HBURL.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"

#include <QFile>

using namespace hb;

namespace {

QByteArray stored(const QString& path)
{
    return UserDefaults::standard().dataForKey(path);
}

// The record made one destination at a time: look up, open, read readability, close, then make
// the data through the store's own lookup and scope.
QMap<QString, QByteArray> recordItemByItem(const QList<ShiftedItem>& items)
{
    HBURL& store = HBURL::shared();
    QMap<QString, QByteArray> record;
    for (const ShiftedItem& item : items) {
        const auto scope = store.bookmarkedURL(item.destination);
        if (!scope)
            continue;
        const bool started = startAccessingSecurityScopedResource(*scope);
        const auto readable = started ? resourceValue(item.destination, NSURLIsReadableKey) : std::nullopt;
        stopAccessingSecurityScopedResource(*scope);
        if (!readable || !readable->toBool())
            continue;
        if (const auto data = store.scopedBookmarkData(item.destination))
            record.insert(item.destination.path(), *data);
    }
    return record;
}

}  // namespace

class UndoDataTest : public HarbrillTest {
protected:
    void bookmarkInEarlierRun(const QString& path)
    {
        env.grant(path);
        ASSERT_TRUE(HBURL::shared().bookmark(URL::fileURLWithPath(path), false)) << path.toStdString();
        AccessRegistry::resetForTesting();
    }
    ShiftedItem moved(const QString& destination)
    {
        return {URL::fileURLWithPath(env.root() + "/source/" + destination),
                URL::fileURLWithPath(env.root() + "/" + destination), Action::move, std::nullopt, std::nullopt};
    }
};

TEST_F(UndoDataTest, RecordOfManyFoldersEqualsTheRecordMadeItemByItem)
{
    for (const char* file : {"a/1", "a/2", "a/sub/deep/3", "b/1", "c/other", "c/own", "c/later", "granted/1"})
        env.writeFile(file, file);
    env.makeFolder("a/folder");
    bookmarkInEarlierRun(env.root() + "/a");
    bookmarkInEarlierRun(env.root() + "/b");
    bookmarkInEarlierRun(env.root() + "/c/own");  // only this item of c has a bookmark: its own
    ASSERT_TRUE(QFile::link(env.root() + "/c/other", env.root() + "/a/out"));
    ASSERT_TRUE(QFile::link(env.root() + "/a/1", env.root() + "/a/in"));
    env.grant(env.root() + "/granted");

    QList<ShiftedItem> items;
    for (const char* destination : {"a/1", "c/other", "a/sub/deep/3", "b/1", "c/own", "a/2", "c/later", "a/folder",
                                    "a/missing", "a/out", "a/in", "granted/1", "uncovered/x"})
        items << moved(destination);

    const UndoData undo(items, Action::move);
    const QMap<QString, QByteArray> expected = recordItemByItem(items);
    const QMap<QString, QByteArray>& record = undo.lastDestinationURLBookMarks();
    EXPECT_EQ(record.keys(), expected.keys());
    EXPECT_TRUE(record == expected) << "the bookmark data differs";
    EXPECT_EQ(expected.keys(), (QStringList{env.root() + "/a/1", env.root() + "/a/2", env.root() + "/a/folder",
                                            env.root() + "/a/in", env.root() + "/a/sub/deep/3", env.root() + "/b/1",
                                            env.root() + "/c/own", env.root() + "/granted/1"}));

    for (const char* folder : {"a", "b", "c/own"})
        EXPECT_FALSE(AccessRegistry::hasAccess(env.root() + "/" + folder)) << folder;
    // Items covered by a folder's bookmark get none of their own; a granted one gets one, as any
    // lookup made while access is open does.
    for (const char* item : {"a/1", "a/sub/deep/3", "b/1", "c/other"})
        EXPECT_TRUE(stored(env.root() + "/" + item).isEmpty()) << item;
    EXPECT_FALSE(stored(env.root() + "/granted/1").isEmpty());
}
