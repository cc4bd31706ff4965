#pragma once

#include "platform/base/URL.h"

#include <QIcon>
#include <QUrl>

#include <functional>

namespace hb {

// The desktop: opening documents and folders with their default applications, showing items in the
// file manager, and file icons.
namespace Workspace {
// Opens a file URL with its default application (a folder in the file manager) or a web/mail URL.
bool openURL(const QUrl& url);
bool openFile(const URL& url);
// Shows the items selected in the file manager (org.freedesktop.FileManager1.ShowItems); where no
// file manager answers, opens the folder of the first item.
bool activateFileViewerSelectingURLs(const QList<URL>& urls);
// The icon theme's icon for the file's type (a folder's for folders), else a generic file icon.
QIcon iconForFile(const QString& path);

// Tests install an opener that receives what would be opened and answers success; null restores the
// desktop.
using Opener = std::function<bool(const QUrl&)>;
void setOpener(Opener opener);
}  // namespace Workspace

}  // namespace hb
