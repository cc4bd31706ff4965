#include "platform/desktop/MetadataContentTypes.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <shared_mutex>

namespace hb {

namespace {

const QString publicItem = QStringLiteral("public.item");
const QString publicData = QStringLiteral("public.data");

bool isArchive(const QString& name)
{
    static const QStringList archives = {
        QStringLiteral("application/zip"),
        QStringLiteral("application/x-tar"),
        QStringLiteral("application/gzip"),
        QStringLiteral("application/x-bzip2"),
        QStringLiteral("application/x-bzip"),
        QStringLiteral("application/x-xz"),
        QStringLiteral("application/x-7z-compressed"),
        QStringLiteral("application/vnd.rar"),
        QStringLiteral("application/x-rar"),
        QStringLiteral("application/zstd"),
        QStringLiteral("application/x-lzma"),
        QStringLiteral("application/x-lzip"),
        QStringLiteral("application/x-archive"),
        QStringLiteral("application/x-cpio"),
        QStringLiteral("application/x-compressed-tar"),
        QStringLiteral("application/x-bzip-compressed-tar"),
        QStringLiteral("application/x-bzip2-compressed-tar"),
        QStringLiteral("application/x-xz-compressed-tar"),
        QStringLiteral("application/x-zstd-compressed-tar"),
        QStringLiteral("application/x-lzma-compressed-tar"),
        QStringLiteral("application/x-tarz"),
        QStringLiteral("application/x-compress"),
        QStringLiteral("application/x-apple-diskimage"),
        QStringLiteral("application/vnd.debian.binary-package"),
        QStringLiteral("application/x-rpm"),
        QStringLiteral("application/java-archive"),
    };
    return archives.contains(name);
}

bool isApplication(const QString& name)
{
    static const QStringList applications = {
        QStringLiteral("application/x-desktop"),          QStringLiteral("application/x-executable"),
        QStringLiteral("application/x-pie-executable"),   QStringLiteral("application/vnd.appimage"),
        QStringLiteral("application/x-iso9660-appimage"),
    };
    return applications.contains(name);
}

MetadataContentType build(const QMimeType& mime)
{
    const QString name = mime.name();
    MetadataContentType type;
    type.kind = mime.comment();
    // Archives and applications by their own MIME type only: office documents are zip files inside
    // and would otherwise count as archives.
    const bool pdf = name == QLatin1String("application/pdf");
    type.contentType = pdf ? QStringLiteral("com.adobe.pdf") : name;
    type.contentTypeTree << type.contentType;
    auto conforms = [&](const QString& typeName) {
        if (!type.contentTypeTree.contains(typeName))
            type.contentTypeTree << typeName;
    };
    const QStringList lineage = QStringList{name} + mime.allAncestors();
    for (const QString& ancestor : lineage) {
        if (ancestor == QLatin1String("application/pdf"))
            conforms(QStringLiteral("com.adobe.pdf"));
        else if (ancestor.startsWith(QLatin1String("image/")))
            conforms(QStringLiteral("public.image"));
        else if (ancestor.startsWith(QLatin1String("audio/")))
            conforms(QStringLiteral("public.audio"));
        else if (ancestor.startsWith(QLatin1String("video/")))
            conforms(QStringLiteral("public.movie"));
        else if (ancestor == QLatin1String("text/x-log"))
            conforms(QStringLiteral("public.log"));
        if (ancestor.startsWith(QLatin1String("text/")))
            conforms(QStringLiteral("public.text"));
    }
    if (isArchive(name))
        conforms(QStringLiteral("public.archive"));
    if (isApplication(name))
        conforms(QStringLiteral("com.apple.application"));
    conforms(publicData);
    conforms(publicItem);
    return type;
}

class Cache {
public:
    const MetadataContentType* known(const QString& name)
    {
        std::shared_lock lock(m_mutex);
        auto found = m_types.constFind(name);
        return found == m_types.constEnd() ? nullptr : found->get();
    }

    const MetadataContentType& forMime(const QMimeType& mime)
    {
        const QString name = mime.name();
        if (const MetadataContentType* type = known(name))
            return *type;
        auto type = std::make_shared<const MetadataContentType>(build(mime));
        std::unique_lock lock(m_mutex);
        auto& slot = m_types[name];
        if (!slot)
            slot = std::move(type);
        return *slot;
    }

    // The MIME type a name alone decides, cached by the name's extension when only its last suffix
    // can matter; empty when the name leaves it open.
    QString mimeForName(const QString& name)
    {
        const qsizetype dot = name.lastIndexOf(u'.');
        // Compound patterns ("*.tar.gz") and whole-name patterns ("Makefile", "README*") depend on more
        // than the last suffix: only a name with a single dot past its first character is cached.
        const bool cacheable = dot > 0 && name.indexOf(u'.') == dot
                               && !name.startsWith(QLatin1String("README"), Qt::CaseInsensitive);
        const QString key = cacheable ? name.mid(dot).toLower() : QString();
        if (cacheable) {
            std::shared_lock lock(m_mutex);
            if (auto found = m_byExtension.constFind(key); found != m_byExtension.constEnd())
                return *found;
        }
        const QList<QMimeType> candidates = m_database.mimeTypesForFileName(name);
        const QString decided = candidates.size() == 1 ? candidates.first().name() : QString();
        if (cacheable) {
            std::unique_lock lock(m_mutex);
            m_byExtension.insert(key, decided);
        }
        return decided;
    }

    QMimeDatabase m_database;

private:
    std::shared_mutex m_mutex;
    QHash<QString, std::shared_ptr<const MetadataContentType>> m_types;
    QHash<QString, QString> m_byExtension;
};

Cache& cache()
{
    static Cache instance;
    return instance;
}

QByteArray firstBytes(int dirfd, const QByteArray& name)
{
    // Non-blocking so that a file replaced by a pipe between the listing and this read never hangs.
    const int fd = ::openat(dirfd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    QByteArray data(4096, Qt::Uninitialized);
    const ssize_t got = ::read(fd, data.data(), data.size());
    ::close(fd);
    data.truncate(got > 0 ? got : 0);
    return data;
}

}  // namespace

namespace MetadataContentTypes {

const MetadataContentType& folder()
{
    static const MetadataContentType type{
        QStringLiteral("public.folder"),
        {QStringLiteral("public.folder"), QStringLiteral("public.directory"), publicItem},
        QStringLiteral("Folder")};
    return type;
}

const MetadataContentType& forMimeType(const QString& mimeTypeName)
{
    Cache& types = cache();
    if (const MetadataContentType* type = types.known(mimeTypeName))
        return *type;
    QMimeType mime = types.m_database.mimeTypeForName(mimeTypeName);
    if (!mime.isValid())
        mime = types.m_database.mimeTypeForName(QStringLiteral("application/octet-stream"));
    return types.forMime(mime);
}

const MetadataContentType& forFile(int dirfd, const QByteArray& name, const QString& decodedName, bool isRegularFile)
{
    Cache& types = cache();
    const QString byName = types.mimeForName(decodedName);
    if (!byName.isEmpty())
        return forMimeType(byName);
    if (!isRegularFile) {
        const QList<QMimeType> candidates = types.m_database.mimeTypesForFileName(decodedName);
        return candidates.isEmpty() ? forMimeType(QStringLiteral("application/octet-stream"))
                                    : types.forMime(candidates.first());
    }
    return types.forMime(types.m_database.mimeTypeForFileNameAndData(decodedName, firstBytes(dirfd, name)));
}

}  // namespace MetadataContentTypes

}  // namespace hb
