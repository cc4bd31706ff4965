#include "platform/desktop/LoginItem.h"

#include "platform/base/Locations.h"
#include "platform/base/ProgramIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace hb {

namespace {

Error loginItemError(const QString& path, const QString& description)
{
    Error error{NSCocoaErrorDomain, NSFileWriteUnknownError, {}};
    error.userInfo.insert(NSFilePathErrorKey, path);
    error.userInfo.insert(NSLocalizedDescriptionKey, description);
    return error;
}

// The program as one quoted argument of an Exec key, written as a key-file string value.
QString execValue(const QString& program)
{
    QString quoted;
    for (QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted.replace(QLatin1Char('%'), QLatin1String("%%")) + QLatin1Char('"');
    return quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

std::optional<Error> writeEntry(const QString& identifier)
{
    const QString program = LoginItem::helperProgram();
    const QString path = LoginItem::entryPath(identifier);
    if (program.isEmpty())
        return loginItemError(path, QStringLiteral("The login helper %1 is neither beside %2 nor on the PATH.")
                                        .arg(LoginItem::helperProgramName(), QCoreApplication::applicationFilePath()));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return loginItemError(path, QStringLiteral("The autostart folder %1 cannot be created.").arg(folder));
    QSaveFile file(path);
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nComment=Starts %1 at login\n"
                                        "Exec=%2\nTerminal=false\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n")
                             .arg(programIdentity().name, execValue(program));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return loginItemError(
            path, QStringLiteral("The autostart entry %1 cannot be written: %2").arg(path, file.errorString()));
    return std::nullopt;
}

std::optional<Error> removeEntry(const QString& identifier)
{
    const QString path = LoginItem::entryPath(identifier);
    QFile file(path);
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
        return std::nullopt;
    if (!file.remove())
        return loginItemError(
            path, QStringLiteral("The autostart entry %1 cannot be removed: %2").arg(path, file.errorString()));
    return std::nullopt;
}

}  // namespace

QString LoginItem::entryPath(const QString& identifier)
{
    return Locations::configHome() + QStringLiteral("/autostart/") + identifier + QStringLiteral(".desktop");
}

QString LoginItem::helperProgramName()
{
    return programIdentity().command + QStringLiteral("-helper");
}

QString LoginItem::helperProgram()
{
    return companionProgram(helperProgramName());
}

QString LoginItem::companionProgram(const QString& name)
{
    const QFileInfo beside(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QString() : QFileInfo(onPath).absoluteFilePath();
}

std::optional<Error> LoginItem::setEnabled(const QString& identifier, bool enabled)
{
    return enabled ? writeEntry(identifier) : removeEntry(identifier);
}

bool LoginItem::isEnabled(const QString& identifier)
{
    QFile file(entryPath(identifier));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.section(QLatin1Char('='), 0, 0).trimmed() == QLatin1String("Hidden"))
            return line.section(QLatin1Char('='), 1).trimmed() != QLatin1String("true");
    }
    return true;
}

}  // namespace hb
