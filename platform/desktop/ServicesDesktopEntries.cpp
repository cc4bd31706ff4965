#include "platform/desktop/Services.h"

#include "platform/base/Locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace hb {

namespace {

struct Service {
    const char* message;
    const char* title;
    bool foldersOnly;
};

constexpr Service kServices[] = {
    {"addToLocation", "Add Folder to Harbrill", true},
    {"moveHarbrill", "Send to Harbrill", false},
};

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
    return keyFileValue(execArgument(executable) + QStringLiteral(" --service ") + QLatin1String(service.message)
                        + QStringLiteral(" %F"));
}

QString applicationEntry(const QString& executable)
{
    QString text = QStringLiteral(
                       "[Desktop Entry]\nType=Application\nVersion=1.4\nName=Harbrill\n"
                       "Comment=Move or copy files into your favourite folders\nTryExec=%1\nExec=%2\n"
                       "Icon=com.mirelda.Harbrill\nTerminal=false\n"
                       "Categories=Utility;FileTools;\nActions=addToLocation;moveHarbrill;\n")
                       .arg(keyFileValue(executable), keyFileValue(execArgument(executable)));
    for (const Service& service : kServices)
        text += QStringLiteral("\n[Desktop Action %1]\nName=%2\nExec=%3\n")
                    .arg(QLatin1String(service.message), QLatin1String(service.title), desktopExec(executable, service));
    return text;
}

// Dolphin and Konqueror: one service menu per kind of selection.
QString kdeServiceMenu(const QString& executable, const Service& service)
{
    return QStringLiteral(
               "[Desktop Entry]\nType=Service\nMimeType=%1\nActions=%2;\n\n[Desktop Action %2]\nName=%3\n"
               "Exec=%4\n")
        .arg(service.foldersOnly ? QStringLiteral("inode/directory;") : QStringLiteral("all/all;"),
             QLatin1String(service.message), QLatin1String(service.title), desktopExec(executable, service));
}

// Nemo runs the Exec line through a shell-style parser after putting the selected paths for %F.
QString nemoAction(const QString& executable, const Service& service)
{
    return QStringLiteral(
               "[Nemo Action]\nActive=true\nName=%1\nComment=%1\nExec=%2\nSelection=notnone\nExtensions=%3\n")
        .arg(QLatin1String(service.title),
             keyFileValue(shellWord(executable) + QStringLiteral(" --service ") + QLatin1String(service.message)
                          + QStringLiteral(" %F")),
             service.foldersOnly ? QStringLiteral("dir;") : QStringLiteral("any;"));
}

// GNOME Files lists executable scripts and hands them the selection, one path a line.
QString nautilusScript(const QString& executable, const Service& service)
{
    return QStringLiteral(
               "#!/bin/sh\nset -f\nIFS='\n'\nexec %1 --service %2 $NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\n")
        .arg(shellWord(executable), QLatin1String(service.message));
}

std::optional<Error> writeFile(const QString& path, const QString& contents, bool executable)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents.toUtf8()) < 0 || !file.commit())
        return Error{NSCocoaErrorDomain, NSFileWriteUnknownError,
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
    QList<std::tuple<QString, QString, bool>> files{
        {data + QStringLiteral("/applications/com.mirelda.Harbrill.desktop"), applicationEntry(program), false},
        {data + QStringLiteral("/kio/servicemenus/harbrill.desktop"), kdeServiceMenu(program, kServices[1]), true},
        {data + QStringLiteral("/kio/servicemenus/harbrill-folders.desktop"), kdeServiceMenu(program, kServices[0]), true},
    };
    for (const Service& service : kServices) {
        files.append({data + QStringLiteral("/nemo/actions/harbrill-%1.nemo_action").arg(QLatin1String(service.message)),
                      nemoAction(program, service), false});
        files.append({data + QStringLiteral("/nautilus/scripts/") + QLatin1String(service.title),
                      nautilusScript(program, service), true});
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
