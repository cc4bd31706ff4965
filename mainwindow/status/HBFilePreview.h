#pragma once

#include "platform/base/URL.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The preview of the held files: the first four drawn into one 40 x 40 picture, each later file behind
// the earlier ones. Thumbnails and file types are read on a worker; the main thread only puts in the
// icons of files without a thumbnail and lays the four pictures over each other. Only the picture of the
// latest request is handed back, so a slow earlier request never replaces a newer preview.
class HBFilePreview : public QObject {
    Q_OBJECT
public:
    static constexpr int kSide = 40;
    static constexpr int kMaximumFiles = 4;
    // Where the reading runs; the default is the global thread pool.
    using Executor = std::function<void(std::function<void()> work)>;

    // What the worker learns of one file: its thumbnail, else the names of its type's icons.
    struct Part {
        std::optional<QImage> thumbnail;
        QString iconName;
        QString genericIconName;
        bool isFolder = false;
    };

    explicit HBFilePreview(QObject* parent = nullptr);

    void setExecutor(Executor executor) { m_executor = std::move(executor); }
    // Starts drawing the preview of `urls`; answers the request's number.
    std::uint64_t request(const QList<hb::URL>& urls);

    // Any thread: the thumbnails (read through the files' bookmarks) or icon names of the first four.
    static QList<Part> readParts(const QList<hb::URL>& urls);
    // Main thread: the parts as pictures, the first on top.
    static QImage compose(const QList<Part>& parts);
    // Main thread: the whole preview at once.
    static QImage getPreviewImageForLastThree(const QList<hb::URL>& urls) { return compose(readParts(urls)); }

signals:
    void previewReady(const QImage& image, std::uint64_t request);

private:
    Executor m_executor;
    std::uint64_t m_latest = 0;
};
