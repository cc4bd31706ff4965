#include "TestEnvironment.h"

#include "LoopVolume.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Volumes.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace hb;

namespace {

QVariant value(const QString& path, const QString& key)
{
    return resourceValue(URL::fileURLWithPath(path), key).value_or(QVariant(QStringLiteral("<failed>")));
}

bool setImmutable(const QString& path, bool on)
{
    const int fd = ::open(path.toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

}  // namespace

using ResourceValuesTest = HarbrillTest;

TEST_F(ResourceValuesTest, ValuesOfFileFolderAndLink)
{
    const QString folder = env.makeFolder("work/folder");
    const QString file = env.writeFile("work/.file", "12345");
    ASSERT_TRUE(QFile::link(folder, env.root() + "/work/link"));
    env.grant(env.root() + "/work");

    const struct {
        QString path;
        QString key;
        QVariant expected;
    } cases[] = {
        {file, NSURLTotalFileSizeKey, quint64(5)},
        {file, NSURLIsDirectoryKey, false},
        {file, NSURLIsRegularFileKey, true},
        {file, NSURLIsHiddenKey, true},
        {file, NSURLNameKey, ".file"},
        {file, NSURLIsReadableKey, true},
        {file, NSURLIsWritableKey, true},
        {file, NSURLIsVolumeKey, false},
        {folder, NSURLTotalFileSizeKey, QVariant()},
        {folder, NSURLIsDirectoryKey, true},
        {folder, NSURLIsRegularFileKey, false},
        {folder, NSURLIsHiddenKey, false},
        {env.root() + "/work/link", NSURLIsSymbolicLinkKey, true},
        {env.root() + "/work/link", NSURLIsDirectoryKey, false},
        {env.root() + "/work/link", NSURLIsRegularFileKey, false},
        {env.root() + "/work/missing", NSURLIsDirectoryKey, "<failed>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(value(c.path, c.key), c.expected) << c.path.toStdString() << " " << c.key.toStdString();
    EXPECT_EQ(value(file, NSURLVolumeIdentifierKey), value(folder, NSURLVolumeIdentifierKey));
}

TEST_F(ResourceValuesTest, AccessKeysNeedAGrant)
{
    const QString folder = env.makeFolder("uncovered");
    EXPECT_FALSE(resourceValue(URL::fileURLWithPath(folder), NSURLIsWritableKey));
    const QString scripts = env.makeFolder("data/harbrill/Application Scripts");
    EXPECT_EQ(value(scripts, NSURLIsReadableKey), true);
    EXPECT_EQ(value(scripts, NSURLIsWritableKey), false);
}

TEST_F(ResourceValuesTest, ImmutableFlag)
{
    // tmpfs knows no such flag: never locked, never unknown.
    QTemporaryDir shm("/dev/shm/hb-files-XXXXXX");
    ASSERT_TRUE(shm.isValid());
    QFile(shm.path() + "/f").open(QIODevice::WriteOnly);
    env.grant(shm.path());
    EXPECT_EQ(value(shm.path() + "/f", NSURLIsUserImmutableKey), false);
    EXPECT_EQ(value(shm.path(), NSURLIsUserImmutableKey), false);

    const QString file = env.writeFile("work/locked", "x");
    env.grant(env.root() + "/work");
    EXPECT_EQ(value(file, NSURLIsUserImmutableKey), false);
    if (!setImmutable(file, true))
        HB_SKIP_WITHOUT_ROOT_SETUP("cannot set the immutable flag here (needs root and a file system with it)");
    EXPECT_EQ(value(file, NSURLIsUserImmutableKey), true);
    setImmutable(file, false);
}

TEST_F(ResourceValuesTest, VolumesHaveNamesAndPseudoMountsAreHidden)
{
    const auto volumes = Volumes::mountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.first().root.path(), "/");
    EXPECT_FALSE(volumes.first().localizedName.isEmpty());
    EXPECT_TRUE(volumes.first().isInternal);
    for (const auto& volume : volumes) {
        EXPECT_FALSE(volume.root.path().startsWith("/proc")) << volume.root.path().toStdString();
        EXPECT_FALSE(volume.root.path().startsWith("/sys")) << volume.root.path().toStdString();
    }
    EXPECT_EQ(Volumes::volumeForPath("/proc/self/status")->root.path(), "/proc");
    EXPECT_FALSE(Volumes::volumeForPath("/proc")->isBrowsable);
    EXPECT_TRUE(Volumes::isMountRoot("/"));
    EXPECT_FALSE(Volumes::isMountRoot(env.root()));
    EXPECT_GT(Volumes::freeSize(env.root()).value_or(0), 0u);
    // The volume keys of a mount root are readable without access to it.
    EXPECT_EQ(value("/", NSURLIsVolumeKey), true);
    EXPECT_EQ(value("/", NSURLVolumeLocalizedNameKey), volumes.first().localizedName);
}

TEST_F(ResourceValuesTest, DiskImageIsNotInternal)
{
    const QString mountPoint = env.root() + "/image";
    LoopVolume volume(mountPoint);
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume.reason().toStdString());
    const auto info = Volumes::volumeForPath(mountPoint + "/file");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->root.path(), mountPoint);
    EXPECT_FALSE(info->isInternal);
    EXPECT_TRUE(info->isEjectable);
    EXPECT_TRUE(info->isBrowsable);
    EXPECT_EQ(info->localizedName, "image");
    EXPECT_TRUE(Volumes::isMountRoot(mountPoint));
    volume.unmount();
    EXPECT_FALSE(Volumes::isMountRoot(mountPoint));
}
