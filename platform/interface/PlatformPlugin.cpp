#include "platform/interface/PlatformPlugin.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"

#include <QDir>
#include <QLibraryInfo>

namespace hb::PlatformPlugin {

namespace {
bool hasWaylandPlugin(const QStringList& pluginDirectories)
{
    for (const QString& directory : pluginDirectories) {
        const QStringList plugins = QDir(directory + QStringLiteral("/platforms"))
                                        .entryList({QStringLiteral("libqwayland*.so")}, QDir::Files);
        if (!plugins.isEmpty())
            return true;
    }
    return false;
}
}  // namespace

Choice choose(const QProcessEnvironment& environment, const QStringList& pluginDirectories)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
                         || environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
    if (!wayland)
        return {};
    if (hasWaylandPlugin(pluginDirectories))
        return {QByteArrayLiteral("wayland;xcb"), {}};
    return {QByteArrayLiteral("xcb"),
            QStringLiteral("Qt's Wayland platform plugin is not installed (package qt6-wayland): %1 runs as an "
                           "X11 program through XWayland, where the window may not come forward by itself.")
                .arg(programIdentity().name)};
}

void chooseForThisSession()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QStringList directories
        = environment.value(QStringLiteral("QT_PLUGIN_PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    directories << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    const Choice choice = choose(environment, directories);
    if (!choice.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", choice.platform);
    if (!choice.note.isEmpty())
        qCWarning(hbLog).noquote() << choice.note;
}

}  // namespace hb::PlatformPlugin
