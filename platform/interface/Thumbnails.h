#pragma once

#include "platform/base/URL.h"

#include <QImage>
#include <QSize>

#include <optional>

namespace hb {

// File thumbnails drawn as icons: the desktop's thumbnail cache (~/.cache/thumbnails, by the MD5 of
// the file URI, only when it is not older than the file), else the picture itself for image files.
// None when neither exists. The result fits within `maximumSize`.
namespace Thumbnails {
std::optional<QImage> thumbnailForFile(const URL& url, QSize maximumSize);
}

}  // namespace hb
