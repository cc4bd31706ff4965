#pragma once

#include "platform/base/URL.h"

#include <QImage>
#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>

// The preview of the held files: the first four drawn into one 40 x 40 picture, each later file behind
// the earlier ones. Thumbnails are read on a worker; only the picture of the latest request is handed
// back (on the main thread), so a slow earlier request never replaces a newer preview.
class HBFilePreview : public QObject {
    Q_OBJECT
public:
    static constexpr int kSide = 40;
    static constexpr int kMaximumFiles = 4;
    // Where the drawing runs; the default is the global thread pool.
    using Executor = std::function<void(std::function<void()> work)>;

    explicit HBFilePreview(QObject* parent = nullptr);

    void setExecutor(Executor executor) { m_executor = std::move(executor); }
    // Starts drawing the preview of `urls`; answers the request's number.
    std::uint64_t request(const QList<hb::URL>& urls);

    // Draws the preview now. `icons` stand in, by index, for files without a thumbnail. Any thread.
    static QImage getPreviewImageForLastThree(const QList<hb::URL>& urls, const QList<QImage>& icons);
    // The desktop's icons of the files that a preview of `urls` draws. Main thread.
    static QList<QImage> fallbackIcons(const QList<hb::URL>& urls);

signals:
    void previewReady(const QImage& image, std::uint64_t request);

private:
    Executor m_executor;
    std::uint64_t m_latest = 0;
};
