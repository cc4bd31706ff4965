#include "TestEnvironment.h"

#include "platform/files/AccessRegistry.h"
#include "platform/files/FileManager.h"
#include "platform/files/ResourceValues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <unistd.h>

using namespace hb;

namespace {

URL fileURL(const QString& path)
{
    return URL::fileURLWithPath(path);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList relativePaths(const QList<EnumeratedItem>& items, const QString& root)
{
    QStringList paths;
    for (const auto& item : items)
        paths << item.url.path().mid(root.size() + 1);
    return paths;
}

class Proceed : public FileManagerDelegate {
public:
    explicit Proceed(bool answer) : m_answer(answer) {}
    bool shouldProceedAfterError(FileManager&, const Error& error, const URL&, const URL&) override
    {
        seen = error;
        return m_answer;
    }
    Error seen;

private:
    bool m_answer;
};

class Veto : public FileManagerDelegate {
public:
    bool shouldMoveItem(FileManager&, const URL&, const URL&) override { return false; }
};

}  // namespace

class FileManagerTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        work = env.makeFolder("work");
        env.grant(work);
    }
    FileManager manager;
    QString work;
};

TEST_F(FileManagerTest, OperationsOutsideEveryGrantFailWithPlatformError)
{
    const QString outside = env.makeFolder("outside");
    const QString file = env.writeFile("outside/file", "keep");
    env.writeFile("work/inside", "in");

    const struct {
        const char* name;
        std::function<bool(Error*)> run;
        int code;
    } cases[] = {
        {"move out", [&](Error* e) { return manager.moveItem(fileURL(work + "/inside"), fileURL(outside + "/x"), e); },
         513},
        {"move in", [&](Error* e) { return manager.moveItem(fileURL(file), fileURL(work + "/x"), e); }, 513},
        {"remove", [&](Error* e) { return manager.removeItem(fileURL(file), e); }, 513},
        {"create", [&](Error* e) { return manager.createDirectory(fileURL(outside + "/new/deep"), true, e); }, 513},
        {"replace", [&](Error* e) { return manager.replaceItem(fileURL(file), fileURL(work + "/inside"), {}, e); },
         513},
        {"enumerate", [&](Error* e) { return manager.enumerate(fileURL(outside), {}, 0, e).has_value(); }, 257},
        {"value", [&](Error* e) { return resourceValue(fileURL(file), NSURLIsDirectoryKey, e).has_value(); }, 257},
        {"file system", [&](Error* e) { return manager.attributesOfFileSystem(outside, e).has_value(); }, 257},
    };
    for (const auto& c : cases) {
        Error error;
        EXPECT_FALSE(c.run(&error)) << c.name;
        EXPECT_EQ(error.domain, NSCocoaErrorDomain) << c.name;
        EXPECT_EQ(error.code, c.code) << c.name;
    }
    EXPECT_FALSE(manager.fileExists(file));
    EXPECT_EQ(contents(file), "keep");
    EXPECT_EQ(contents(work + "/inside"), "in");
    EXPECT_FALSE(QFile::exists(outside + "/new"));
}

TEST_F(FileManagerTest, MoveNeverReplacesUnlessTheDelegateSaysSo)
{
    const QString source = env.writeFile("work/a", "new");
    const QString destination = env.writeFile("work/b", "old");
    Error error;
    EXPECT_FALSE(manager.moveItem(fileURL(source), fileURL(destination), &error));
    EXPECT_EQ(error.code, NSFileWriteFileExistsError);
    EXPECT_EQ(contents(destination), "old");

    Proceed refuse(false);
    manager.delegate = &refuse;
    EXPECT_FALSE(manager.moveItem(fileURL(source), fileURL(destination), &error));
    EXPECT_EQ(refuse.seen.code, NSFileWriteFileExistsError);
    EXPECT_EQ(contents(source), "new");
    EXPECT_EQ(contents(destination), "old");

    Proceed agree(true);
    manager.delegate = &agree;
    EXPECT_TRUE(manager.moveItem(fileURL(source), fileURL(destination), &error));
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(contents(destination), "new");

    env.writeFile("work/dir/inner", "from dir");
    env.writeFile("work/existing/stale", "gone");
    EXPECT_TRUE(manager.moveItem(fileURL(work + "/dir"), fileURL(work + "/existing"), &error));
    EXPECT_EQ(QDir(work + "/existing").entryList(QDir::Files), QStringList{"inner"});
    EXPECT_FALSE(QFile::exists(work + "/dir"));
}

TEST_F(FileManagerTest, AMoveTheDelegateRefusesFailsAndMovesNothing)
{
    const QString source = env.writeFile("work/a", "a");
    Veto veto;
    manager.delegate = &veto;
    Error error;
    EXPECT_FALSE(manager.moveItem(fileURL(source), fileURL(work + "/b"), &error));
    EXPECT_EQ(error.domain, NSCocoaErrorDomain);
    EXPECT_EQ(contents(source), "a");
    EXPECT_FALSE(QFile::exists(work + "/b"));
}

// Two names of one item: through a link to its folder, or a hard link. Replacing one by the other
// would remove the only copy.
TEST_F(FileManagerTest, AnItemNeverReplacesItself)
{
    env.writeFile("work/src/a", "only copy");
    env.writeFile("work/src/tree/b", "only copy");
    ASSERT_TRUE(QFile::link(work + "/src", work + "/D"));
    ASSERT_EQ(::link(QFile::encodeName(work + "/src/a").constData(), QFile::encodeName(work + "/hard").constData()), 0);
    Proceed agree(true);
    manager.delegate = &agree;
    const struct {
        const char* name;
        std::function<bool(Error*)> run;
    } cases[] = {
        {"replace a file through a link",
         [&](Error* e) { return manager.replaceItem(fileURL(work + "/D/a"), fileURL(work + "/src/a"), {}, e); }},
        {"replace a folder through a link",
         [&](Error* e) { return manager.replaceItem(fileURL(work + "/D/tree"), fileURL(work + "/src/tree"), {}, e); }},
        {"move onto itself through a link",
         [&](Error* e) { return manager.moveItem(fileURL(work + "/src/a"), fileURL(work + "/D/a"), e); }},
        {"replace a hard link",
         [&](Error* e) { return manager.replaceItem(fileURL(work + "/src/a"), fileURL(work + "/hard"), {}, e); }},
    };
    for (const auto& c : cases) {
        Error error;
        EXPECT_FALSE(c.run(&error)) << c.name;
        EXPECT_EQ(error.domain, NSCocoaErrorDomain) << c.name;
        EXPECT_EQ(contents(work + "/src/a"), "only copy") << c.name;
        EXPECT_EQ(contents(work + "/src/tree/b"), "only copy") << c.name;
    }
}

// A renamed folder or link must not keep its old name in the access checks: a link to outside put
// in its place right after the move leads nowhere.
TEST_F(FileManagerTest, MovedFolderOrLinkIsNotJudgedByItsOldName)
{
    const QString outside = env.makeFolder("outside");
    env.makeFolder("work/real");
    const struct {
        const char* name;
        bool isLink;
    } cases[] = {
        {"folder", false},
        {"link", true},
    };
    for (const auto& c : cases) {
        const QString item = work + "/item";
        if (c.isLink)
            ASSERT_TRUE(QFile::link(work + "/real", item)) << c.name;
        else
            env.makeFolder("work/item");
        ASSERT_TRUE(AccessRegistry::hasAccess(item + "/file", false)) << c.name;
        Error error;
        ASSERT_TRUE(manager.moveItem(fileURL(item), fileURL(work + "/moved"), &error)) << c.name;
        ASSERT_TRUE(QFile::link(outside, item)) << c.name;
        EXPECT_FALSE(AccessRegistry::hasAccess(item + "/file", false)) << c.name;
        EXPECT_FALSE(manager.moveItem(fileURL(work + "/moved"), fileURL(item + "/escaped"), &error)) << c.name;
        EXPECT_EQ(error.code, 513) << c.name;
        ASSERT_TRUE(manager.removeItem(fileURL(item), &error)) << c.name;
        ASSERT_TRUE(manager.removeItem(fileURL(work + "/moved"), &error)) << c.name;
    }
    EXPECT_TRUE(QDir(outside).isEmpty());
}

TEST_F(FileManagerTest, MoveAcrossFileSystemsFailsAndKeepsTheSource)
{
    QTemporaryDir shm("/dev/shm/hb-files-XXXXXX");
    ASSERT_TRUE(shm.isValid());
    env.grant(shm.path());
    const QString source = env.writeFile("work/file", "data");
    Error error;
    EXPECT_FALSE(manager.moveItem(fileURL(source), fileURL(shm.path() + "/file"), &error));
    EXPECT_EQ(error.domain, NSCocoaErrorDomain);
    EXPECT_EQ(error.userInfo.value(NSUnderlyingErrorKey).toInt(), EXDEV);
    EXPECT_EQ(contents(source), "data");
}

TEST_F(FileManagerTest, ReplaceFolderKeepsNothingOfTheOldAndLosesNothingOnFailure)
{
    env.writeFile("work/original/old1", "1");
    env.writeFile("work/original/sub/old2", "2");
    env.writeFile("work/incoming/new", "n");
    Error error;
    ASSERT_TRUE(manager.replaceItem(fileURL(work + "/original"), fileURL(work + "/incoming"), "backup", &error));
    EXPECT_EQ(QDir(work + "/original").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"new"});
    EXPECT_EQ(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"original"});

    // A replacement that cannot happen leaves both sides as they were.
    EXPECT_FALSE(manager.replaceItem(fileURL(work + "/original"), fileURL(work + "/missing"), {}, &error));
    EXPECT_EQ(contents(work + "/original/new"), "n");
    QTemporaryDir shm("/dev/shm/hb-files-XXXXXX");
    env.grant(shm.path());
    QFile(shm.path() + "/other").open(QIODevice::WriteOnly);
    EXPECT_FALSE(manager.replaceItem(fileURL(work + "/original"), fileURL(shm.path() + "/other"), {}, &error));
    EXPECT_EQ(contents(work + "/original/new"), "n");
    EXPECT_TRUE(QFile::exists(shm.path() + "/other"));
}

TEST_F(FileManagerTest, ReplaceItemPutsTheNewItemInPlaceOfWhateverIsThere)
{
    struct Case {
        const char* name;
        bool originalIsFolder;
        bool originalExists;
        bool newIsFolder;
    };
    const Case cases[] = {
        {"file over file", false, true, false},
        {"folder over file", false, true, true},
        {"file over folder", true, true, false},
        {"nothing there yet", false, false, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const QString folder = env.makeFolder(QStringLiteral("work/%1").arg(&test - cases));
        const QString original = folder + "/target";
        const QString incoming = folder + "/incoming";
        if (test.originalExists)
            env.writeFile(original.mid(env.root().size() + 1) + (test.originalIsFolder ? "/old" : ""), "old");
        env.writeFile(incoming.mid(env.root().size() + 1) + (test.newIsFolder ? "/new" : ""), "new");
        Error error;
        ASSERT_TRUE(manager.replaceItem(fileURL(original), fileURL(incoming), {}, &error))
            << error.localizedDescription().toStdString();
        EXPECT_EQ(contents(test.newIsFolder ? original + "/new" : original), "new");
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{"target"});
    }
}

TEST_F(FileManagerTest, RemoveNeverFollowsLinks)
{
    const QString outside = env.makeFolder("outside");
    env.writeFile("outside/precious", "p");
    env.grant(outside);
    ASSERT_TRUE(QFile::link(outside, work + "/link-to-folder"));
    env.writeFile("work/tree/a/b/file", "x");
    env.writeFile("work/tree/.hidden", "h");
    ASSERT_TRUE(QFile::link(outside, work + "/tree/a/link"));
    ASSERT_TRUE(QFile::link(outside + "/precious", work + "/tree/file-link"));

    Error error;
    EXPECT_TRUE(manager.removeItem(fileURL(work + "/link-to-folder"), &error));
    EXPECT_FALSE(QFileInfo(work + "/link-to-folder").isSymLink());
    EXPECT_TRUE(manager.removeItem(fileURL(work + "/tree"), &error));
    EXPECT_FALSE(QFileInfo::exists(work + "/tree"));
    EXPECT_EQ(contents(outside + "/precious"), "p");

    EXPECT_FALSE(manager.removeItem(fileURL(work + "/tree"), &error));
    EXPECT_EQ(error.code, NSFileNoSuchFileError);
}

TEST_F(FileManagerTest, CreateDirectory)
{
    Error error;
    EXPECT_TRUE(manager.createDirectory(fileURL(work + "/a/b/c"), true, &error));
    EXPECT_TRUE(manager.createDirectory(fileURL(work + "/a/b/c"), true, &error));
    EXPECT_FALSE(manager.createDirectory(fileURL(work + "/a/b/c"), false, &error));
    EXPECT_EQ(error.code, NSFileWriteFileExistsError);
    EXPECT_FALSE(manager.createDirectory(fileURL(work + "/x/y"), false, &error));
    env.writeFile("work/file", "");
    EXPECT_FALSE(manager.createDirectory(fileURL(work + "/file/sub"), true, &error));
    bool isDirectory = false;
    EXPECT_TRUE(manager.fileExists(work + "/a/b/c", &isDirectory));
    EXPECT_TRUE(isDirectory);
}

TEST_F(FileManagerTest, EnumerateOrderHiddenAndDescendants)
{
    env.writeFile("work/b/inner", "12345");
    env.writeFile("work/b/.hid/deep", "");
    env.writeFile("work/a", "1");
    env.writeFile("work/.dot", "");
    env.makeFolder("outside/sub");
    ASSERT_TRUE(QFile::link(env.root() + "/outside", work + "/c-link"));

    const auto all = manager.enumerate(fileURL(work), {NSURLTotalFileSizeKey, NSURLIsDirectoryKey}, 0);
    ASSERT_TRUE(all);
    EXPECT_EQ(relativePaths(*all, work), (QStringList{".dot", "a", "b", "b/.hid", "b/.hid/deep", "b/inner", "c-link"}));
    EXPECT_EQ(all->at(5).values.value(NSURLTotalFileSizeKey).toULongLong(), 5u);
    EXPECT_FALSE(all->at(2).values.contains(NSURLTotalFileSizeKey));
    EXPECT_TRUE(all->at(2).url.hasDirectoryPath());

    const auto visible = manager.enumerate(fileURL(work), {}, NSDirectoryEnumerationSkipsHiddenFiles);
    EXPECT_EQ(relativePaths(*visible, work), (QStringList{"a", "b", "b/inner", "c-link"}));
    const auto direct = manager.enumerate(fileURL(work), {}, NSDirectoryEnumerationSkipsSubdirectoryDescendants);
    EXPECT_EQ(relativePaths(*direct, work), (QStringList{".dot", "a", "b", "c-link"}));

    // Read on several threads: the same items, in any order, one visitor call at a time.
    for (int i = 0; i < 40; ++i)
        env.writeFile(QString("work/b/many/%1/file").arg(i), "");
    const auto ordered = manager.enumerate(fileURL(work), {NSURLTotalFileSizeKey}, 0);
    QStringList unordered;
    int inVisitor = 0;
    EXPECT_TRUE(manager.enumerate(fileURL(work), {NSURLTotalFileSizeKey}, DirectoryEnumerationUnordered,
                                  [&](const EnumeratedItem& item) {
                                      EXPECT_EQ(++inVisitor, 1);
                                      unordered << item.url.path().mid(work.size() + 1);
                                      --inVisitor;
                                      return true;
                                  }));
    QStringList expected = relativePaths(*ordered, work);
    expected.sort();
    unordered.sort();
    EXPECT_EQ(unordered, expected);

    int visited = 0;
    EXPECT_TRUE(manager.enumerate(fileURL(work), {}, 0, [&](const EnumeratedItem&) { return ++visited < 3; }));
    EXPECT_EQ(visited, 3);
    visited = 0;
    EXPECT_TRUE(manager.enumerate(fileURL(work), {}, DirectoryEnumerationUnordered,
                                  [&](const EnumeratedItem&) { return ++visited < 3; }));
    EXPECT_EQ(visited, 3);
    EXPECT_FALSE(manager.enumerate(fileURL(work + "/missing"), {}, 0));
}
