#include "platform/desktop/Pasteboard.h"

#include "platform/desktop/ServicesBytes.h"

#include <QFile>

#include <sys/stat.h>

namespace hb {

namespace {
bool isFolder(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool conforms(const QString& path, const QStringList& types)
{
    const bool wantsFolder = types.contains(UTTypeFolder) || types.contains(UTTypeDirectory);
    return wantsFolder && isFolder(path);
}
}  // namespace

// Other hosts and relative paths would otherwise be taken for some local path.
std::optional<QUrl> Pasteboard::localFileURL(const QUrl& item)
{
    if (!item.isLocalFile() || !(item.host().isEmpty() || item.host() == QLatin1String("localhost"))
        || !item.path().startsWith(u'/'))
        return std::nullopt;
    return QUrl::fromLocalFile(item.path());
}

Pasteboard Pasteboard::withFileURLs(const QList<URL>& urls)
{
    Pasteboard pasteboard;
    for (const URL& url : urls)
        pasteboard.m_items.append(url.toQUrl());
    return pasteboard;
}

void Pasteboard::writeObjects(const QList<QUrl>& urls)
{
    m_items.append(urls);
}

void Pasteboard::clearContents()
{
    m_items.clear();
}

std::optional<QList<QUrl>> Pasteboard::readURLs(const PasteboardReadingOptions& options) const
{
    if (m_items.isEmpty())
        return std::nullopt;
    QList<QUrl> urls;
    for (const QUrl& item : m_items) {
        const std::optional<QUrl> local = localFileURL(item);
        if (options.fileURLsOnly && !local)
            continue;
        if (!options.contentsConformToTypes.isEmpty()
            && !(local && conforms(local->path(), options.contentsConformToTypes)))
            continue;
        urls.append(local.value_or(item));
    }
    return urls;
}

QByteArray Pasteboard::serialized() const
{
    BytesWriter writer;
    writer.u32(std::uint32_t(m_items.size()));
    for (const QUrl& item : m_items)
        writer.blob(item.toEncoded());
    return writer.bytes();
}

std::optional<Pasteboard> Pasteboard::fromSerialized(const QByteArray& bytes)
{
    BytesReader reader(bytes);
    const std::optional<std::uint32_t> count = reader.u32();
    // Each item takes at least its length field, so a count beyond that is a lie.
    if (!count || *count > std::uint64_t(reader.remaining()) / 4)
        return std::nullopt;
    Pasteboard pasteboard;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::optional<QByteArray> encoded = reader.blob();
        if (!encoded)
            return std::nullopt;
        const QUrl url = QUrl::fromEncoded(*encoded, QUrl::StrictMode);
        if (!url.isValid())
            return std::nullopt;
        pasteboard.m_items.append(url);
    }
    if (!reader.atEnd())
        return std::nullopt;
    return pasteboard;
}

}  // namespace hb
