#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace hb::PlatformPlugin {

// The Qt platform a session gets: empty leaves Qt's own choice; a note says why X11 stands in.
struct Choice {
    QByteArray platform;
    QString note;
};

// A Wayland session (a Wayland display, or the session says so) gets Qt's wayland platform, falling
// back on X11 (XWayland) should it not start; where the wayland plugin is not installed, X11 with a
// note. Anything else, or a platform the person chose (QT_QPA_PLATFORM), stays as it is.
Choice choose(const QProcessEnvironment& environment, const QStringList& pluginDirectories);

// Makes the choice for this process, before its application object exists: sets QT_QPA_PLATFORM and
// logs the note, one line.
void chooseForThisSession();

}  // namespace hb::PlatformPlugin
