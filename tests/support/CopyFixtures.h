#pragma once

#include "TestEnvironment.h"

#include <linux/capability.h>

#include <QString>

// Granted "source" and "destination" folders, as two folders the user opened to the program.
class SourceAndDestinationTest : public HarbrillTest {
protected:
    void SetUp() override;

    QString source;
    QString destination;
};

// A file of `size` bytes that a copy is still busy with a moment after it started: a quarter of a
// GiB of data, the rest a hole (holes are copied as holes, in no time).
bool writeSlowToCopy(const QString& path, qint64 size);

// A tmpfs of `size` mounted at `mountPoint` for the object's lifetime, to run out of space for real.
// Needs root; `reason()` says why it could not be mounted.
class SmallVolume {
public:
    SmallVolume(const QString& mountPoint, const QString& size = QStringLiteral("1m"));
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    bool isMounted() const { return m_mounted; }
    QString reason() const { return m_reason; }

private:
    QString m_mountPoint;
    QString m_reason;
    bool m_mounted = false;
};

// Root reads and writes anything; for the calling thread only, take away the capabilities that let it,
// so permission bits count as for any user.
class WithoutFilePermissionOverride {
public:
    WithoutFilePermissionOverride();
    ~WithoutFilePermissionOverride();
    WithoutFilePermissionOverride(const WithoutFilePermissionOverride&) = delete;
    WithoutFilePermissionOverride& operator=(const WithoutFilePermissionOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
};
