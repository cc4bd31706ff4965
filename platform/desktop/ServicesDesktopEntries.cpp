#include "platform/desktop/Services.h"

#include "platform/base/Locations.h"
#include "platform/base/ProgramIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace hb {

namespace {

using Service = ProgramIdentity::Service;

// A value of a desktop-entry style key file: backslashes and line breaks escaped.
QString keyFileValue(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// An argument of a desktop entry's Exec key, quoted when it holds a reserved character.
QString execArgument(QString argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    argument.replace(QLatin1Char('%'), QLatin1String("%%"));
    if (std::none_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); }))
        return argument;
    QString quoted;
    for (QChar c : std::as_const(argument)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A word for a POSIX shell.
QString shellWord(QString word)
{
    return QLatin1Char('\'') + word.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

QString desktopExec(const QString& executable, const Service& service)
{
    return keyFileValue(execArgument(executable) + QStringLiteral(" --service ") + service.message
                        + QStringLiteral(" %F"));
}

QString applicationEntry(const QString& executable)
{
    const ProgramIdentity& identity = programIdentity();
    QString actions;
    for (const Service& service : identity.services)
        actions += service.message + u';';
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nVersion=1.4\nName=%1\n"
                                  "Comment=Move or copy files into your favourite folders\nTryExec=%2\nExec=%3\n"
                                  "Icon=%4\nTerminal=false\n"
                                  "Categories=Utility;FileTools;\nActions=%5\n")
                       .arg(identity.name, keyFileValue(executable), keyFileValue(execArgument(executable)),
                            identity.applicationId, actions);
    for (const Service& service : identity.services)
        text += QStringLiteral("\n[Desktop Action %1]\nName=%2\nExec=%3\n")
                    .arg(service.message, service.title, desktopExec(executable, service));
    return text;
}

// Dolphin and Konqueror: one service menu per kind of selection.
QString kdeServiceMenu(const QString& executable, const Service& service)
{
    return QStringLiteral("[Desktop Entry]\nType=Service\nMimeType=%1\nActions=%2;\n\n[Desktop Action %2]\nName=%3\n"
                          "Exec=%4\n")
        .arg(service.foldersOnly ? QStringLiteral("inode/directory;") : QStringLiteral("all/all;"), service.message,
             service.title, desktopExec(executable, service));
}

// Nemo runs the Exec line through a shell-style parser after putting the selected paths for %F.
QString nemoAction(const QString& executable, const Service& service)
{
    return QStringLiteral(
               "[Nemo Action]\nActive=true\nName=%1\nComment=%1\nExec=%2\nSelection=notnone\nExtensions=%3\n")
        .arg(service.title,
             keyFileValue(shellWord(executable) + QStringLiteral(" --service ") + service.message
                          + QStringLiteral(" %F")),
             service.foldersOnly ? QStringLiteral("dir;") : QStringLiteral("any;"));
}

// GNOME Files lists executable scripts and hands them the selection, one path a line.
QString nautilusScript(const QString& executable, const Service& service)
{
    return QStringLiteral("#!/bin/sh\nset -f\nIFS='\n'\nexec %1 --service %2 $NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\n")
        .arg(shellWord(executable), service.message);
}

std::optional<Error> writeFile(const QString& path, const QString& contents, bool executable)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents.toUtf8()) < 0 || !file.commit())
        return Error{NSCocoaErrorDomain,
                     NSFileWriteUnknownError,
                     {{NSLocalizedDescriptionKey, file.errorString()}, {NSFilePathErrorKey, path}}};
    const QFile::Permissions readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions runnable = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QFile::setPermissions(path, executable ? readable | runnable : readable);
    return std::nullopt;
}

}  // namespace

std::optional<Error> Services::updateDynamicServices(const QString& executable)
{
    const QString program = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    const QString data = Locations::dataHome();
    const ProgramIdentity& identity = programIdentity();
    QList<std::tuple<QString, QString, bool>> files{
        {data + QStringLiteral("/applications/") + identity.applicationId + QStringLiteral(".desktop"),
         applicationEntry(program), false}};
    // One service menu for files ("<command>.desktop"), one for folders ("<command>-folders.desktop").
    for (const bool folders : {false, true})
        for (const Service& service : identity.services)
            if (service.foldersOnly == folders)
                files.append({data + QStringLiteral("/kio/servicemenus/") + identity.command
                                  + (folders ? QStringLiteral("-folders.desktop") : QStringLiteral(".desktop")),
                              kdeServiceMenu(program, service), true});
    for (const Service& service : identity.services) {
        files.append({data + QStringLiteral("/nemo/actions/%1-%2.nemo_action").arg(identity.command, service.message),
                      nemoAction(program, service), false});
        files.append(
            {data + QStringLiteral("/nautilus/scripts/") + service.title, nautilusScript(program, service), true});
    }
    std::optional<Error> firstError;
    for (const auto& [path, contents, runnable] : files) {
        std::optional<Error> error = writeFile(path, contents, runnable);
        if (error && !firstError)
            firstError = error;
    }
    return firstError;
}

}  // namespace hb
