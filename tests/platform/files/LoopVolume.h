#pragma once

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <unistd.h>

// A small ext4 image mounted through a loop device: a real volume that is not internal (a disk
// image). Needs root; `reason()` says why it could not be made.
class LoopVolume {
public:
    explicit LoopVolume(const QString& mountPoint) : m_mountPoint(mountPoint)
    {
        if (::geteuid() != 0) {
            m_reason = "needs root to mount a loop device";
            return;
        }
        if (!run("truncate", {"-s", "8M", image()}) || !run("mkfs.ext4", {"-q", "-F", image()}) || !mount())
            m_reason = "could not mount a loop device: " + m_output;
    }
    ~LoopVolume() { unmount(); }

    bool isMounted() const { return m_mounted; }
    QString reason() const { return m_reason; }
    // Mounts the same image again (the drive plugged in again).
    bool mount()
    {
        QDir().mkpath(m_mountPoint);
        m_mounted = m_mounted || run("mount", {"-o", "loop", image(), m_mountPoint});
        return m_mounted;
    }
    void unmount()
    {
        if (m_mounted && !run("umount", {m_mountPoint}))
            run("umount", {"-l", m_mountPoint});
        m_mounted = false;
    }

private:
    QString image() const { return m_images.filePath("volume.img"); }
    bool run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
                        && process.exitCode() == 0;
        m_output = QString::fromLocal8Bit(process.readAll()).trimmed() + process.errorString();
        return ok;
    }

    QTemporaryDir m_images;
    QString m_mountPoint;
    QString m_reason;
    QString m_output;
    bool m_mounted = false;
};
