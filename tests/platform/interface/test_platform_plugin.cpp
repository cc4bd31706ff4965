#include "platform/interface/PlatformPlugin.h"

#include "TestEnvironment.h"

#include <QTemporaryDir>

namespace {

TEST(PlatformPluginTest, AWaylandSessionRunsOnWaylandUnlessThePluginIsMissing)
{
    QTemporaryDir withPlugin, withoutPlugin;
    ASSERT_TRUE(QDir(withPlugin.path()).mkpath(QStringLiteral("platforms")));
    ASSERT_TRUE(QDir(withoutPlugin.path()).mkpath(QStringLiteral("platforms")));
    QFile plugin(withPlugin.path() + QStringLiteral("/platforms/libqwayland-generic.so"));
    ASSERT_TRUE(plugin.open(QIODevice::WriteOnly));
    QFile other(withoutPlugin.path() + QStringLiteral("/platforms/libqxcb.so"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));

    const struct {
        const char* name;
        QStringList variables;  // NAME=VALUE
        bool pluginInstalled;
        QByteArray platform;
        bool note;
    } cases[] = {
        {"Wayland display", {"WAYLAND_DISPLAY=wayland-0"}, true, "wayland;xcb", false},
        {"the session says Wayland", {"XDG_SESSION_TYPE=wayland", "DISPLAY=:0"}, true, "wayland;xcb", false},
        {"no plugin: XWayland, said once", {"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"}, false, "xcb", true},
        {"an X11 session", {"XDG_SESSION_TYPE=x11", "DISPLAY=:0"}, true, "", false},
        {"the person's choice", {"WAYLAND_DISPLAY=wayland-0", "QT_QPA_PLATFORM=xcb"}, true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment environment;
        for (const QString& variable : c.variables)
            environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
        const hb::PlatformPlugin::Choice choice = hb::PlatformPlugin::choose(
            environment,
            {QStringLiteral("/nonexistent"), c.pluginInstalled ? withPlugin.path() : withoutPlugin.path()});
        EXPECT_EQ(choice.platform, c.platform);
        EXPECT_EQ(!choice.note.isEmpty(), c.note);
        if (c.note) {
            EXPECT_TRUE(choice.note.contains(QStringLiteral("qt6-wayland"))) << choice.note.toStdString();
        }
    }
}

}  // namespace
