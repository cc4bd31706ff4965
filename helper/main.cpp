// harbrill-helper: started by the desktop session at login (through the autostart entry of the login
// item), it starts Harbrill and leaves. A Harbrill already running is left alone: a second start would
// bring its window forward, which nobody asked for at login.

#include "app/identity/HarbrillIdentity.h"
#include "platform/desktop/LoginItem.h"
#include "platform/desktop/SingleInstance.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>

namespace {

const QString programName = QStringLiteral("harbrill");

int printed(const QString& text, int exitCode)
{
    std::fputs(qPrintable(QStringLiteral("harbrill-helper: ") + text + u'\n'), stderr);
    return exitCode;
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    QCoreApplication app(argc, argv);
    const QString program = hb::LoginItem::companionProgram(programName);
    if (program.isEmpty())
        return printed(QStringLiteral("%1 is neither beside %2 nor on the PATH.")
                           .arg(programName, QCoreApplication::applicationFilePath()),
                       1);
    {
        // The instance lock tells whether Harbrill runs; it is let go before Harbrill starts.
        hb::SingleInstance probe;
        const std::variant<hb::SingleInstance::Role, hb::Error> role = probe.acquire();
        if (const hb::Error* error = std::get_if<hb::Error>(&role))
            return printed(error->localizedDescription(), 1);
        if (std::get<hb::SingleInstance::Role>(role) == hb::SingleInstance::Role::Secondary)
            return 0;
    }
    if (!QProcess::startDetached(program, {}))
        return printed(QStringLiteral("%1 could not be started.").arg(program), 1);
    return 0;
}
