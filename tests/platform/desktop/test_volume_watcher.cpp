#include "TestEnvironment.h"

#include "../files/LoopVolume.h"

#include "platform/desktop/VolumeWatcher.h"
#include "platform/files/Volumes.h"

#include <QSignalSpy>

namespace {

bool isMounted(const QString& path)
{
    const QList<hb::VolumeInfo> volumes = hb::Volumes::mountedVolumes();
    return std::any_of(volumes.begin(), volumes.end(), [&](const hb::VolumeInfo& v) { return v.root.path() == path; });
}

// A real mount and unmount while the watcher runs are each told, and the mount table read afterwards
// already shows the change.
TEST(VolumeWatcherTest, MountAndUnmountAreToldOnce)
{
    TestEnvironment env;
    hb::VolumeWatcher watcher;
    ASSERT_TRUE(watcher.isWatching());
    QSignalSpy changes(&watcher, &hb::VolumeWatcher::volumesChanged);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(changes.count(), 0) << "nothing changed yet";

    const QString mountPoint = env.root() + "/Stick";
    LoopVolume volume(mountPoint);
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume.reason().toStdString());
    ASSERT_TRUE(waitUntil([&] { return changes.count() >= 1; }, 3000));
    EXPECT_TRUE(isMounted(mountPoint));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(changes.count(), 1);

    volume.unmount();
    ASSERT_TRUE(waitUntil([&] { return changes.count() >= 2; }, 3000));
    EXPECT_FALSE(isMounted(mountPoint));
}

}  // namespace
