#include "TestEnvironment.h"

#include "platform/files/FileManager.h"
#include "platform/files/HeldFolders.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace hb;

namespace {

ino_t inodeOf(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}

ino_t inodeAt(const QString& path)
{
    struct stat st {};
    return ::lstat(path.toUtf8().constData(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

class HeldFoldersTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        granted = env.makeFolder("granted");
        env.writeFile("granted/a/x", "x");
        env.writeFile("granted/a/y", "y");
        env.writeFile("beside/secret", "s");
        env.grant(granted);
    }
    QString granted;
};

// Folders are held only where the grant covers them: a grant's root lies in a folder outside it, and
// holding that folder must not open its other items.
TEST_F(HeldFoldersTest, HoldsFoldersBeneathTheGrantAndNothingBeside)
{
    HeldFolders folders;
    const struct {
        QString path;
        int error;
        const char* name;
    } cases[] = {
        {granted + "/a/x", 0, "x"},
        {granted + "/a/missing", 0, "missing"},
        {granted, 0, "granted"},
        {env.root() + "/beside", EACCES, ""},
        {env.root() + "/beside/secret", EACCES, ""},
        {granted + "/../beside", EACCES, ""},
        {granted + "/a/..", 0, "."},
    };
    for (int pass = 0; pass < 2; ++pass) {  // the second pass answers from the held folders
        for (const auto& c : cases) {
            const HeldItem item = folders.item(c.path, Need::writing);
            EXPECT_EQ(item.error, c.error) << c.path.toStdString() << " pass " << pass;
            if (c.error == 0) {
                EXPECT_EQ(item.name, c.name) << c.path.toStdString();
            }
        }
    }
    const HeldItem x = folders.item(granted + "/a/x", Need::writing);
    const HeldItem y = folders.item(granted + "/a/y", Need::writing);
    EXPECT_EQ(x.folder, y.folder) << "one folder, resolved once";
    EXPECT_FALSE(x.own.isOpen());
    EXPECT_EQ(inodeOf(x.folder), inodeAt(granted + "/a"));
}

// A folder renamed and replaced by a link to the outside while held: the held folder is still the one
// that was resolved beneath the grant, and once let go of, the link is judged afresh and refused.
TEST_F(HeldFoldersTest, AHeldFolderStaysTheOneResolvedUntilLetGo)
{
    HeldFolders folders;
    const ino_t folder = inodeAt(granted + "/a");
    ASSERT_TRUE(folders.item(granted + "/a/x", Need::writing));
    ASSERT_TRUE(QDir().rename(granted + "/a", granted + "/renamed"));
    ASSERT_TRUE(QFile::link(env.root() + "/beside", granted + "/a"));

    const HeldItem held = folders.item(granted + "/a/secret", Need::writing);
    ASSERT_TRUE(held);
    EXPECT_EQ(inodeOf(held.folder), folder);

    folders.forget(granted + "/a");
    const HeldItem afresh = folders.item(granted + "/a/secret", Need::writing);
    EXPECT_EQ(afresh.error, EACCES);
    const HeldItem reading = folders.item(granted + "/a/secret", Need::reading);
    EXPECT_EQ(reading.error, EACCES);
}

// A shift whose sources hold a folder and then that folder itself: once the folder has moved, its
// remaining items are looked for where they were, and not found, as without held folders.
TEST_F(HeldFoldersTest, AManagerLetsGoOfTheFoldersItMoves)
{
    env.makeFolder("granted/dst");
    const auto manager = FileManager::holdingFolders();
    const auto url = [&](const QString& relative) { return URL::fileURLWithPath(granted + "/" + relative); };
    ASSERT_TRUE(manager->moveItem(url("a/x"), url("dst/x")));
    ASSERT_TRUE(manager->moveItem(url("a"), url("dst/a")));
    Error error;
    EXPECT_FALSE(manager->moveItem(url("a/y"), url("dst/y"), &error));
    EXPECT_EQ(error.code, NSFileNoSuchFileError);
    EXPECT_TRUE(QFile::exists(granted + "/dst/a/y"));
}
