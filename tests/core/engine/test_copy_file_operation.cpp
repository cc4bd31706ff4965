#include "core/engine/HBCopyFileOperation.h"

#include "CopyFixtures.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

QByteArray filled(qsizetype size)
{
    return QByteArray(size, 'h');
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

class CopyFileOperationTest : public SourceAndDestinationTest {
protected:
    std::optional<hb::Error> copy(HBCopyFileOperation& operation, const QString& from, const QString& to)
    {
        return operation.copyFileOperationWithSource(hb::URL::fileURLWithPath(from), hb::URL::fileURLWithPath(to),
                                                     QFileInfo(from).isDir());
    }
};

TEST_F(CopyFileOperationTest, SeedsItsOwnCountersFromTheGivenOnes)
{
    CopyProgressData seed(5, 1000);
    seed.totalCountOfFiles = 9;
    seed.currentFileName = "x";
    HBCopyFileOperation operation(seed);
    const CopyProgressData data = operation.getProgressData();
    EXPECT_EQ(data.completedCountOfFiles, 5);
    EXPECT_EQ(data.completedSizeOfFiles, 1000u);
    EXPECT_EQ(data.totalCountOfFiles, 0u);
    EXPECT_TRUE(data.currentFileName.isEmpty());
}

TEST_F(CopyFileOperationTest, CopyAskedToStartAfterCancellationCopiesNothing)
{
    const QString file = env.writeFile("source/a.txt", "alpha");
    HBCopyFileOperation operation(CopyProgressData(2, 30));
    operation.cancelOperation();
    EXPECT_EQ(copy(operation, file, destination + "/a.txt"), std::nullopt);
    EXPECT_TRUE(entries(destination).isEmpty());
    EXPECT_EQ(operation.getProgressData().completedCountOfFiles, 2);
    EXPECT_EQ(operation.getProgressData().completedSizeOfFiles, 30u);
}

TEST_F(CopyFileOperationTest, FileInSeveralReportsAddsExactlyItsSize)
{
    const qsizetype size = (25 << 20) + 7;  // several 8 MiB chunks
    const QString file = env.writeFile("source/movie.mkv", filled(size));
    HBCopyFileOperation operation(CopyProgressData(5, 1000));
    EXPECT_EQ(copy(operation, file, destination + "/movie.mkv"), std::nullopt);
    EXPECT_EQ(operation.getProgressData().completedSizeOfFiles, 1000u + size);
    EXPECT_EQ(operation.getProgressData().completedCountOfFiles, 6);
    EXPECT_EQ(QFileInfo(destination + "/movie.mkv").size(), size);
}

TEST_F(CopyFileOperationTest, FolderTreeAddsOnePerFileAndFolder)
{
    env.writeFile("source/Photos/a.jpg", filled(100));
    env.writeFile("source/Photos/2019/b.jpg", filled(200));
    env.writeFile("source/Photos/2019/raw/c.raw", filled(300));
    env.makeFolder("source/Photos/empty");
    ASSERT_EQ(symlink("a.jpg", (source + "/Photos/latest").toUtf8().constData()), 0);
    HBCopyFileOperation operation(CopyProgressData(1, 10));
    EXPECT_EQ(copy(operation, source + "/Photos", destination + "/Photos"), std::nullopt);
    // 4 folders (Photos, 2019, raw, empty) and 4 files (three files and the link).
    EXPECT_EQ(operation.getProgressData().completedCountOfFiles, 1 + 8);
    EXPECT_EQ(operation.getProgressData().completedSizeOfFiles, 10u + 600);
    EXPECT_TRUE(QFileInfo(destination + "/Photos/latest").isSymLink());
}

TEST_F(CopyFileOperationTest, PermissionRefusalsNameTheSideThatRefused)
{
    const QString outside = env.makeFolder("outside");  // no grant: as a folder the user never opened to us
    const QString file = env.writeFile("source/Report.pdf", "pdf");
    const QString hidden = env.writeFile("outside/Secret.pdf", "pdf");

    HBCopyFileOperation toOutside{CopyProgressData()};
    const auto notWritable = copy(toOutside, file, outside + "/Report.pdf");
    ASSERT_TRUE(notWritable.has_value());
    EXPECT_EQ(notWritable->domain, hb::NSCocoaErrorDomain);
    EXPECT_EQ(notWritable->code, 513);
    EXPECT_EQ(notWritable->userInfo.value(hb::NSLocalizedDescriptionKey).toString(),
              "Report.pdf cannot be copied because " + outside + " is not writable");

    // Not a writing problem at all: the source cannot be read.
    HBCopyFileOperation fromOutside{CopyProgressData()};
    const auto notReadable = copy(fromOutside, hidden, destination + "/Secret.pdf");
    ASSERT_TRUE(notReadable.has_value());
    EXPECT_EQ(notReadable->code, 257);
    EXPECT_TRUE(notReadable->localizedDescription().contains("Secret.pdf"))
        << notReadable->localizedDescription().toStdString();
    EXPECT_TRUE(entries(destination).isEmpty());
    EXPECT_EQ(entries(outside), QStringList{"Secret.pdf"});
}

TEST_F(CopyFileOperationTest, FolderWithoutWritePermissionGivesNotWritableError)
{
    const QString file = env.writeFile("source/Report.pdf", "pdf");
    env.writeFile("source/Project/notes.txt", "notes");
    const QString readOnly = env.makeFolder("destination/Shared");
    ASSERT_EQ(chmod(readOnly.toUtf8().constData(), 0555), 0);
    for (const QString& item : {file, source + "/Project"}) {
        const QString name = QFileInfo(item).fileName();
        SCOPED_TRACE(name.toStdString());
        HBCopyFileOperation operation{CopyProgressData()};
        std::optional<hb::Error> error;
        {
            WithoutFilePermissionOverride asAnyUser;
            error = copy(operation, item, readOnly + "/" + name);
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->domain, hb::NSCocoaErrorDomain);
        EXPECT_EQ(error->code, 513);
        EXPECT_EQ(error->localizedDescription(), name + " cannot be copied because " + readOnly + " is not writable");
        EXPECT_TRUE(entries(readOnly).isEmpty());
    }
    chmod(readOnly.toUtf8().constData(), 0755);
}

TEST_F(CopyFileOperationTest, UnreadableFileInsideATreeFailsTheWholeCopy)
{
    env.writeFile("source/Project/readme.txt", "read me");
    const QString locked = env.writeFile("source/Project/src/locked.c", "int x;");
    env.writeFile("source/Project/src/z.c", "int z;");
    ASSERT_EQ(chmod(locked.toUtf8().constData(), 0), 0);

    HBCopyFileOperation operation{CopyProgressData()};
    std::optional<hb::Error> error;
    {
        WithoutFilePermissionOverride asAnyUser;
        error = copy(operation, source + "/Project", destination + "/Project");
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, 257);
    EXPECT_TRUE(error->localizedDescription().contains(locked)) << error->localizedDescription().toStdString();
    EXPECT_TRUE(entries(destination).isEmpty());
}

TEST_F(CopyFileOperationTest, CancelFromAnotherThreadMidFileLeavesNoPartialItem)
{
    // The copy is stopped long before its end.
    const QString file = source + "/disk.img";
    ASSERT_TRUE(writeSlowToCopy(file, qint64(2) << 30));
    env.writeFile("destination/existing.txt", "keep");
    HBCopyFileOperation operation(CopyProgressData(3, 0));
    std::atomic<bool> done = false;
    std::thread canceller([&] {
        while (!done && operation.getProgressData().completedSizeOfFiles == 0)
            std::this_thread::yield();
        operation.cancelOperation();
    });
    const auto error = copy(operation, file, destination + "/disk.img");
    done = true;
    canceller.join();

    EXPECT_EQ(error, std::nullopt);
    EXPECT_LT(operation.getProgressData().completedSizeOfFiles, quint64(2) << 30);
    EXPECT_EQ(operation.getProgressData().completedCountOfFiles, 3);
    EXPECT_EQ(entries(destination), QStringList{"existing.txt"});
}

TEST_F(CopyFileOperationTest, RunningOutOfSpaceIsAFailureAndLeavesNoPartialItem)
{
    const QString small = env.makeFolder("small");
    std::optional<SmallVolume> volume(std::in_place, small);
    if (!volume->isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume->reason().toStdString());
    env.grant(small);
    env.writeFile("source/Album/one.jpg", filled(600 << 10));
    env.writeFile("source/Album/two.jpg", filled(600 << 10));

    HBCopyFileOperation operation{CopyProgressData()};
    const auto error = copy(operation, source + "/Album", small + "/Album");
    const QStringList left = entries(small);
    volume.reset();

    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, hb::NSFileWriteOutOfSpaceError);
    EXPECT_TRUE(error->localizedDescription().startsWith("Album cannot be copied to " + small))
        << error->localizedDescription().toStdString();
    EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
}
