#include "CopyFixtures.h"

#include <QFile>

#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

void SourceAndDestinationTest::SetUp()
{
    source = env.makeFolder("source");
    destination = env.makeFolder("destination");
    env.grant(source);
    env.grant(destination);
}

bool writeSlowToCopy(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(1 << 20, 'h');
    for (int i = 0; i < 256; ++i) {
        if (file.write(block) != block.size())
            return false;
    }
    return file.resize(size);
}

SmallVolume::SmallVolume(const QString& mountPoint, const QString& size) : m_mountPoint(mountPoint)
{
    if (::geteuid() != 0) {
        m_reason = "mounting a small tmpfs needs root";
        return;
    }
    const QByteArray options = "size=" + size.toUtf8();
    if (::mount("tmpfs", mountPoint.toUtf8().constData(), "tmpfs", 0, options.constData()) != 0) {
        m_reason = QStringLiteral("could not mount a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallVolume::~SmallVolume()
{
    if (m_mounted)
        ::umount2(m_mountPoint.toUtf8().constData(), MNT_DETACH);
}

WithoutFilePermissionOverride::WithoutFilePermissionOverride()
{
    ::syscall(SYS_capget, &m_header, m_saved);
    __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &m_header, reduced);
}

WithoutFilePermissionOverride::~WithoutFilePermissionOverride()
{
    ::syscall(SYS_capset, &m_header, m_saved);
}
