#pragma once

#include "TestEnvironment.h"

#include "core/engine/HBFileShiftServices.h"
#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"
#include "platform/queues/OperationQueue.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <fcntl.h>
#include <unistd.h>

class LockedItem;

// Real folders under a "work" folder that the program reaches only through its stored bookmark, as
// after the user granted it once in an earlier run.
class ShiftFixture : public HarbrillTest {
protected:
    QString work;

    void SetUp() override
    {
        work = env.makeFolder(QStringLiteral("work"));
        grantThroughBookmark(work);
    }

    static void grantThroughBookmark(const QString& path)
    {
        hb::AccessRegistry::grantStanding(path);
        ASSERT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath(path), false).has_value()) << path.toStdString();
        hb::AccessRegistry::resetForTesting();
    }

    QString path(const QString& relative) const { return work + QLatin1Char('/') + relative; }
    hb::URL url(const QString& relative) const { return hb::URL::fileURLWithPath(path(relative)); }
    QString file(const QString& relative, const QByteArray& contents = "x") const
    {
        return env.writeFile(QStringLiteral("work/") + relative, contents);
    }
    QString folder(const QString& relative) const { return env.makeFolder(QStringLiteral("work/") + relative); }

    // Every entry below `relative` (hidden ones too): files with their contents, folders as "/".
    QMap<QString, QByteArray> tree(const QString& relative) const { return treeAt(path(relative)); }

    static QMap<QString, QByteArray> treeAt(const QString& root)
    {
        QMap<QString, QByteArray> entries;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            const QString name = entry.mid(root.size() + 1);
            if (it.fileInfo().isDir()) {
                entries.insert(name, "/");
            } else {
                QFile f(entry);
                f.open(QIODevice::ReadOnly);
                entries.insert(name, f.readAll());
            }
        }
        return entries;
    }

    // Runs the operation on a queue thread as the manager does, the state following the work item.
    static void run(const std::shared_ptr<HBFileShiftServices>& operation)
    {
        hb::OperationQueue queue(QStringLiteral("test"), 1);
        auto block = hb::BlockOperation::blockOperationWithBlock([operation] { operation->main(); });
        operation->blockOperation = block;
        for (const char* keyPath : {"isExecuting", "isFinished"}) {
            block->addObserver(
                operation.get(), QString::fromLatin1(keyPath),
                [raw = operation.get()](const QString& key, bool value) { raw->observeValue(key, value); });
        }
        queue.addOperation(block);
        queue.waitUntilAllOperationsAreFinished();
        operation->cleanUp();
    }

    // src/first, src/locked (locked) and src/last, and an empty folder d. None when no lock can be
    // set here (not root, or a file system without the flag).
    std::unique_ptr<LockedItem> threeSourcesWithTheMiddleLocked();

    static OperationState state(const std::shared_ptr<HBFileShiftServices>& operation)
    {
        return operation->getProgressData().operationState;
    }
};

inline bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// A mount for the test's life (root only), undone on the way out.
class ScopedMount {
public:
    ~ScopedMount()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool isMounted() const { return m_mounted; }

protected:
    ScopedMount(const QString& at, const QByteArray& source, const char* type, unsigned long flags,
                const QByteArray& options)
        : m_path(at.toLocal8Bit())
    {
        QDir().mkpath(at);
        m_mounted = ::mount(source.constData(), m_path.constData(), type, flags,
                            options.isEmpty() ? nullptr : options.constData())
                    == 0;
    }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

// A small tmpfs.
class TmpfsMount : public ScopedMount {
public:
    TmpfsMount(const QString& path, const QByteArray& size) : ScopedMount(path, "tmpfs", "tmpfs", 0, "size=" + size) {}
};

// A folder shown at a second place of the same file system: renames between the two places fail
// with EXDEV although both report one device.
class BindMount : public ScopedMount {
public:
    BindMount(const QString& folder, const QString& at) : ScopedMount(at, folder.toLocal8Bit(), nullptr, MS_BIND, {}) {}
};

// Sets or clears the item's immutable flag (the lock of a file manager); root only.
inline bool setLocked(const QString& path, bool locked)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = locked ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// Unlocks on every path so the temporary folder can be removed.
class LockedItem {
public:
    explicit LockedItem(QString path) : m_path(std::move(path)), m_locked(setLocked(m_path, true)) {}
    ~LockedItem()
    {
        if (m_locked)
            setLocked(m_path, false);
    }
    bool isLocked() const { return m_locked; }

private:
    QString m_path;
    bool m_locked;
};

inline std::unique_ptr<LockedItem> ShiftFixture::threeSourcesWithTheMiddleLocked()
{
    if (!runningAsRoot())
        return nullptr;
    file(QStringLiteral("src/first"), "1");
    file(QStringLiteral("src/locked"), "L");
    file(QStringLiteral("src/last"), "3");
    folder(QStringLiteral("d"));
    auto lock = std::make_unique<LockedItem>(path(QStringLiteral("src/locked")));
    if (!lock->isLocked())
        return nullptr;
    return lock;
}
