#include "platform/desktop/MetadataWalk.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace hb {

namespace {

MetadataDate dateOf(const struct statx_timestamp& stamp)
{
    return MetadataDate(std::chrono::duration_cast<MetadataDate::duration>(std::chrono::seconds(stamp.tv_sec)
                                                                           + std::chrono::nanoseconds(stamp.tv_nsec)));
}

MetadataDate dateAdded(const struct statx& info)
{
    return (info.stx_mask & STATX_BTIME) ? dateOf(info.stx_btime) : dateOf(info.stx_ctime);
}

// The name as the program's paths hold it, or none when it would not come back as the same bytes.
std::optional<QString> decodedName(const char* raw, std::size_t length)
{
    const QByteArray bytes = QByteArray::fromRawData(raw, static_cast<qsizetype>(length));
    const bool ascii = std::all_of(raw, raw + length, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    QString name = QFile::decodeName(bytes);
    if (!ascii && QFile::encodeName(name) != bytes)
        return std::nullopt;
    return name;
}

// One listed item, its attributes worked out as the predicate reaches them.
class Entry : public MetadataAttributeSource {
public:
    Entry(int dirfd, const char* rawName, const QString& name, const QString& folder, const struct statx& info)
        : m_dirfd(dirfd), m_rawName(rawName), m_name(name), m_folder(folder), m_info(info)
    {
    }

    bool isFolder() const { return S_ISDIR(m_info.stx_mode); }
    QString path() const { return m_folder.endsWith(u'/') ? m_folder + m_name : m_folder + u'/' + m_name; }

    const MetadataContentType& type() const
    {
        if (!m_type) {
            m_type = isFolder() ? &MetadataContentTypes::folder()
                                : &MetadataContentTypes::forFile(m_dirfd, QByteArray(m_rawName), m_name,
                                                                 S_ISREG(m_info.stx_mode));
        }
        return *m_type;
    }

    MetadataItem item() const { return MetadataItem(path(), dateAdded(m_info), &type()); }

    MetadataValue valueForAttribute(MetadataAttribute attribute) const override
    {
        switch (attribute) {
        case MetadataAttribute::dateAdded:
            return dateAdded(m_info);
        case MetadataAttribute::path:
            return path();
        case MetadataAttribute::invisible:
            return m_name.startsWith(u'.');
        case MetadataAttribute::contentTypeTree:
            return type().contentTypeTree;
        case MetadataAttribute::contentType:
            return type().contentType;
        case MetadataAttribute::kind:
            return type().kind;
        case MetadataAttribute::supportFileType:
        case MetadataAttribute::unknown:
            break;
        }
        return {};
    }

private:
    int m_dirfd;
    const char* m_rawName;
    const QString& m_name;
    const QString& m_folder;
    const struct statx& m_info;
    mutable const MetadataContentType* m_type = nullptr;
};

class Walk {
public:
    Walk(const MetadataPredicate& predicate, const std::atomic<bool>& cancelled, dev_t device)
        : m_predicate(predicate), m_cancelled(cancelled), m_device(device)
    {
    }

    void push(QString folder)
    {
        std::lock_guard lock(m_mutex);
        m_folders.push_back(std::move(folder));
    }

    // Takes folders until none is left and no other worker can add more.
    void work(std::vector<MetadataItem>& found)
    {
        std::vector<QString> subfolders;
        for (;;) {
            QString folder;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return !m_folders.empty() || m_busy == 0 || m_cancelled; });
                if (m_folders.empty() || m_cancelled) {
                    m_changed.notify_all();
                    return;
                }
                folder = std::move(m_folders.back());
                m_folders.pop_back();
                ++m_busy;
            }
            list(folder, found, subfolders);
            {
                std::lock_guard lock(m_mutex);
                for (QString& subfolder : subfolders)
                    m_folders.push_back(std::move(subfolder));
                --m_busy;
            }
            subfolders.clear();
            m_changed.notify_all();
        }
    }

private:
    void list(const QString& folder, std::vector<MetadataItem>& found, std::vector<QString>& subfolders)
    {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return;
        }
        while (const dirent* record = ::readdir(dir)) {
            if (m_cancelled.load(std::memory_order_relaxed))
                break;
            if (record->d_name[0] == '.')
                continue;
            const std::optional<QString> name = decodedName(record->d_name, std::strlen(record->d_name));
            if (!name)
                continue;
            struct statx info {};
            if (::statx(fd, record->d_name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                        STATX_TYPE | STATX_MODE | STATX_CTIME | STATX_BTIME, &info)
                != 0)
                continue;
            // Pipes, sockets and devices are not documents.
            if (!S_ISREG(info.stx_mode) && !S_ISDIR(info.stx_mode) && !S_ISLNK(info.stx_mode))
                continue;
            const Entry entry(fd, record->d_name, *name, folder, info);
            if (m_predicate.evaluateWithObject(entry))
                found.push_back(entry.item());
            if (entry.isFolder() && makedev(info.stx_dev_major, info.stx_dev_minor) == m_device)
                subfolders.push_back(entry.path());
        }
        ::closedir(dir);
    }

    const MetadataPredicate& m_predicate;
    const std::atomic<bool>& m_cancelled;
    const dev_t m_device;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QString> m_folders;
    int m_busy = 0;
};

}  // namespace

namespace MetadataWalk {

std::vector<MetadataItem> gather(const QString& root, const MetadataPredicate& predicate,
                                 const std::atomic<bool>& cancelled, int threads)
{
    struct statx info {};
    if (::statx(AT_FDCWD, QFile::encodeName(root).constData(), AT_STATX_DONT_SYNC, STATX_TYPE, &info) != 0
        || !S_ISDIR(info.stx_mode))
        return {};
    if (threads <= 0)
        threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));

    Walk walk(predicate, cancelled, makedev(info.stx_dev_major, info.stx_dev_minor));
    walk.push(root);
    std::vector<std::vector<MetadataItem>> found(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    for (int i = 1; i < threads; ++i)
        workers.emplace_back([&walk, &found, i] { walk.work(found[static_cast<std::size_t>(i)]); });
    walk.work(found[0]);
    for (std::thread& worker : workers)
        worker.join();

    std::vector<MetadataItem> items = std::move(found[0]);
    for (std::size_t i = 1; i < found.size(); ++i)
        std::move(found[i].begin(), found[i].end(), std::back_inserter(items));
    return items;
}

}  // namespace MetadataWalk

}  // namespace hb
