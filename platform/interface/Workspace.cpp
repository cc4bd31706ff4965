#include "platform/interface/Workspace.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace hb::Workspace {

namespace {
Opener& opener()
{
    static Opener instance;
    return instance;
}
}  // namespace

void setOpener(Opener newOpener)
{
    opener() = std::move(newOpener);
}

bool openURL(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    return opener() ? opener()(url) : QDesktopServices::openUrl(url);
}

bool openFile(const URL& url)
{
    if (url.isEmpty())
        return false;
    return openURL(url.toQUrl());
}

bool activateFileViewerSelectingURLs(const QList<URL>& urls)
{
    if (urls.isEmpty())
        return false;
    if (!opener()) {
        QStringList uris;
        for (const URL& url : urls)
            uris << url.absoluteString();
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << uris << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    // No file manager on the bus: show the folder that holds the first item.
    return openFile(urls.first().deletingLastPathComponent());
}

QIcon iconForFile(const QString& path)
{
    const QFileInfo info(path);
    const bool isFolder = info.isDir();
    const QMimeType type = isFolder ? QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory"))
                                    : QMimeDatabase().mimeTypeForFile(info);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull() && qApp)
        icon = QApplication::style()->standardIcon(isFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    return icon;
}

}  // namespace hb::Workspace
