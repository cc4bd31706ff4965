#include "mainwindow/status/HBFilePreview.h"

#include "core/store/HBURL.h"
#include "platform/base/MainQueue.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Thumbnails.h"
#include "platform/interface/Workspace.h"

#include <QPainter>
#include <QPointer>
#include <QThreadPool>

HBFilePreview::HBFilePreview(QObject* parent)
    : QObject(parent), m_executor([](std::function<void()> work) { QThreadPool::globalInstance()->start(std::move(work)); })
{
}

std::uint64_t HBFilePreview::request(const QList<hb::URL>& urls)
{
    const std::uint64_t number = ++m_latest;
    const QList<hb::URL> drawn = urls.mid(0, kMaximumFiles);
    const QList<QImage> icons = fallbackIcons(drawn);
    QPointer<HBFilePreview> self(this);
    m_executor([self, number, drawn, icons] {
        const QImage image = getPreviewImageForLastThree(drawn, icons);
        hb::MainQueue::async([self, number, image] {
            if (self && number == self->m_latest)
                emit self->previewReady(image, number);
        });
    });
    return number;
}

QList<QImage> HBFilePreview::fallbackIcons(const QList<hb::URL>& urls)
{
    QList<QImage> icons;
    for (const hb::URL& url : urls.mid(0, kMaximumFiles))
        icons << hb::Workspace::iconForFile(url.path()).pixmap(kSide, kSide).toImage();
    return icons;
}

QImage HBFilePreview::getPreviewImageForLastThree(const QList<hb::URL>& urls, const QList<QImage>& icons)
{
    QImage preview(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    preview.fill(Qt::transparent);
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Each later file goes behind the ones drawn before it: the first lies on top.
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    for (qsizetype index = 0; index < urls.size() && index < kMaximumFiles; ++index) {
        const hb::URL& url = urls.at(index);
        // Files the source holds are covered by a bookmark; one that is not is drawn from its icon.
        const std::optional<hb::URL> scope = HBURL::shared().bookmarkedURL(url);
        const bool accessing = scope && hb::startAccessingSecurityScopedResource(*scope);
        std::optional<QImage> image = accessing ? hb::Thumbnails::thumbnailForFile(url, QSize(kSide, kSide)) : std::nullopt;
        if (accessing)
            hb::stopAccessingSecurityScopedResource(*scope);
        if (!image && index < icons.size())
            image = icons.at(index);
        if (!image || image->isNull())
            continue;
        QSize size = image->size();
        size.scale(kSide, kSide, Qt::KeepAspectRatio);
        const QRect target((kSide - size.width()) / 2, (kSide - size.height()) / 2, size.width(), size.height());
        painter.drawImage(target, *image);
    }
    painter.end();
    return preview;
}
