#include "mainwindow/status/HBFilePreview.h"

#include "core/store/HBURL.h"
#include "platform/base/MainQueue.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Thumbnails.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QThreadPool>

namespace {

// The icon theme's icon for the type, as the desktop shows the file.
QImage iconImage(const HBFilePreview::Part& part)
{
    QIcon icon = QIcon::fromTheme(part.iconName);
    if (icon.isNull())
        icon = QIcon::fromTheme(part.genericIconName);
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(part.isFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    return icon.pixmap(HBFilePreview::kSide, HBFilePreview::kSide).toImage();
}

}  // namespace

HBFilePreview::HBFilePreview(QObject* parent)
    : QObject(parent),
      m_executor([](std::function<void()> work) { QThreadPool::globalInstance()->start(std::move(work)); })
{
}

std::uint64_t HBFilePreview::request(const QList<hb::URL>& urls)
{
    const std::uint64_t number = ++m_latest;
    QPointer<HBFilePreview> self(this);
    m_executor([self, number, urls] {
        const QList<Part> parts = readParts(urls);
        hb::MainQueue::async([self, number, parts] {
            if (self && number == self->m_latest)
                emit self->previewReady(compose(parts), number);
        });
    });
    return number;
}

QList<HBFilePreview::Part> HBFilePreview::readParts(const QList<hb::URL>& urls)
{
    QList<Part> parts;
    for (const hb::URL& url : urls.mid(0, kMaximumFiles)) {
        Part part;
        // Files the source holds are covered by a bookmark; one that is not is shown by its icon.
        const std::optional<hb::URL> scope = HBURL::shared().bookmarkedURL(url);
        if (scope && hb::startAccessingSecurityScopedResource(*scope)) {
            part.thumbnail = hb::Thumbnails::thumbnailForFile(url, QSize(kSide, kSide));
            hb::stopAccessingSecurityScopedResource(*scope);
        }
        if (!part.thumbnail) {
            const QFileInfo info(url.path());
            part.isFolder = info.isDir();
            const QMimeType type = part.isFolder ? QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory"))
                                                 : QMimeDatabase().mimeTypeForFile(info);
            part.iconName = type.iconName();
            part.genericIconName = type.genericIconName();
        }
        parts << part;
    }
    return parts;
}

QImage HBFilePreview::compose(const QList<Part>& parts)
{
    QImage preview(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    preview.fill(Qt::transparent);
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Each later file goes behind the ones drawn before it: the first lies on top.
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    for (const Part& part : parts) {
        const QImage image = part.thumbnail ? *part.thumbnail : iconImage(part);
        if (image.isNull())
            continue;
        QSize size = image.size();
        size.scale(kSide, kSide, Qt::KeepAspectRatio);
        painter.drawImage(QRect((kSide - size.width()) / 2, (kSide - size.height()) / 2, size.width(), size.height()),
                          image);
    }
    painter.end();
    return preview;
}
