#include "TestEnvironment.h"

#include "platform/files/FileManager.h"
#include "platform/files/Trash.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace hb;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class TrashTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        work = env.makeFolder("work");
        env.grant(work);
    }
    // Replaces `name` in work with a new item of `text`, keeping the old one in the trash.
    std::optional<TrashedItem> replace(const QString& folder, const QString& name, const QByteArray& text)
    {
        env.writeFile(folder.mid(env.root().size() + 1) + "/new-" + name, text);
        std::optional<TrashedItem> trashed;
        Error error;
        EXPECT_TRUE(FileManager().replaceItem(URL::fileURLWithPath(folder + "/" + name),
                                              URL::fileURLWithPath(folder + "/new-" + name), {}, &error, &trashed))
            << error.localizedDescription().toStdString();
        return trashed;
    }
    QString work;
};

}  // namespace

// Items of one name each get a place of their own, and putting one back never replaces what is now in
// its place: it stays in the trash until that place is free.
TEST_F(TrashTest, ItemsOfOneNameGetPlacesOfTheirOwnAndComeBackOnlyToAFreePlace)
{
    env.writeFile("work/report.pdf", "first");
    const std::optional<TrashedItem> first = replace(work, "report.pdf", "second");
    const std::optional<TrashedItem> second = replace(work, "report.pdf", "third");
    ASSERT_TRUE(first && second);
    const QString trash = env.root() + "/data/Trash";
    EXPECT_EQ(first->item, trash + "/files/report.pdf");
    EXPECT_EQ(second->item, trash + "/files/report.2.pdf");
    EXPECT_EQ(second->info, trash + "/info/report.2.pdf.trashinfo");
    EXPECT_EQ(contents(first->item), "first");
    EXPECT_EQ(contents(second->item), "second");
    EXPECT_TRUE(contents(second->info).startsWith("[Trash Info]\nPath=" + QFile::encodeName(work) + "/report.pdf\n"));

    Error error;
    EXPECT_FALSE(Trash::restore(*first, &error));
    EXPECT_EQ(contents(work + "/report.pdf"), "third");
    EXPECT_EQ(contents(first->item), "first");
    ASSERT_TRUE(QFile::rename(work + "/report.pdf", work + "/elsewhere.pdf"));
    EXPECT_TRUE(Trash::restore(*first, &error)) << error.localizedDescription().toStdString();
    EXPECT_EQ(contents(work + "/report.pdf"), "first");
    EXPECT_FALSE(QFile::exists(first->item));
    EXPECT_FALSE(QFile::exists(first->info));
}

// A volume's own trash: the administrator's shared .Trash (a sticky folder) holds a folder per user;
// a .Trash that is not sticky is passed over for .Trash-$uid.
TEST_F(TrashTest, AVolumeKeepsItsItemsInTheTrashAtItsTop)
{
    if (::geteuid() != 0)
        HB_SKIP_WITHOUT_ROOT_SETUP("mounting a volume needs root");
    const std::string uid = std::to_string(::getuid());
    struct Case {
        const char* name;
        mode_t sharedMode;  // 0: no shared .Trash
        QString trash;      // relative to the volume's top
    };
    const Case cases[] = {
        {"a shared sticky .Trash", 01777, QString::fromStdString(".Trash/" + uid)},
        {"a shared .Trash that is not sticky", 0777, QString::fromStdString(".Trash-" + uid)},
        {"no shared .Trash", 0, QString::fromStdString(".Trash-" + uid)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString top = env.makeFolder(QStringLiteral("work/volume-%1").arg(&c - cases));
        ASSERT_EQ(::mount("tmpfs", QFile::encodeName(top).constData(), "tmpfs", 0, "size=1m"), 0);
        if (c.sharedMode) {
            QDir().mkpath(top + "/.Trash");
            ::chmod(QFile::encodeName(top + "/.Trash").constData(), c.sharedMode);
        }
        env.writeFile(top.mid(env.root().size() + 1) + "/in/x", "old");
        const std::optional<TrashedItem> trashed = replace(top + "/in", "x", "new");
        ASSERT_TRUE(trashed);
        EXPECT_EQ(trashed->item, top + "/" + c.trash + "/files/x");
        EXPECT_TRUE(contents(trashed->info).startsWith("[Trash Info]\nPath=in/x\n"))
            << contents(trashed->info).toStdString();
        EXPECT_EQ(contents(trashed->item), "old");
        ::umount2(QFile::encodeName(top).constData(), MNT_DETACH);
    }
}
