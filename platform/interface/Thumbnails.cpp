#include "platform/interface/Thumbnails.h"

#include "platform/base/Locations.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>

namespace hb::Thumbnails {

namespace {

QImage fitted(const QImage& image, QSize maximumSize)
{
    if (image.width() <= maximumSize.width() && image.height() <= maximumSize.height())
        return image;
    return image.scaled(maximumSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// A cached thumbnail is current when it records the file's modification time (or, without that
// record, is not older than the file).
bool isCurrent(const QImage& thumbnail, const QFileInfo& thumbnailFile, const QFileInfo& file)
{
    const QString recorded = thumbnail.text(QStringLiteral("Thumb::MTime"));
    const qint64 modified = file.lastModified().toSecsSinceEpoch();
    if (!recorded.isEmpty())
        return recorded.toLongLong() == modified;
    return thumbnailFile.lastModified().toSecsSinceEpoch() >= modified;
}

}  // namespace

std::optional<QImage> thumbnailForFile(const URL& url, QSize maximumSize)
{
    const QFileInfo file(url.path());
    if (url.isEmpty() || !file.exists())
        return std::nullopt;
    const QByteArray digest = QCryptographicHash::hash(url.toQUrl().toEncoded(), QCryptographicHash::Md5).toHex();
    for (const char* size : {"normal", "large", "x-large", "xx-large"}) {
        const QFileInfo cached(Locations::cacheHome() + QStringLiteral("/thumbnails/") + QLatin1String(size)
                               + QLatin1Char('/') + QString::fromLatin1(digest) + QStringLiteral(".png"));
        if (!cached.isFile())
            continue;
        const QImage thumbnail(cached.filePath());
        if (!thumbnail.isNull() && isCurrent(thumbnail, cached, file))
            return fitted(thumbnail, maximumSize);
    }
    if (file.isFile()) {
        QImageReader reader(file.filePath());
        if (reader.canRead()) {
            const QSize original = reader.size();
            if (original.isValid()
                && (original.width() > maximumSize.width() || original.height() > maximumSize.height()))
                reader.setScaledSize(original.scaled(maximumSize, Qt::KeepAspectRatio));
            const QImage image = reader.read();
            if (!image.isNull())
                return fitted(image, maximumSize);
        }
    }
    return std::nullopt;
}

}  // namespace hb::Thumbnails
