#include "platform/desktop/Services.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace {

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The values of `key` in a key file, unescaped (\\, \n).
QStringList values(const QString& text, const QString& key)
{
    QStringList found;
    for (const QString& line : text.split('\n')) {
        if (!line.startsWith(key + "="))
            continue;
        QString value;
        const QString raw = line.mid(key.size() + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                ++i;
                value += raw[i] == 'n' ? QChar('\n') : raw[i];
            } else {
                value += raw[i];
            }
        }
        found.append(value);
    }
    return found;
}

// Splits a desktop entry Exec value into arguments: double quotes with \" \` \$ \\ escapes.
QStringList execArguments(const QString& exec)
{
    QStringList arguments;
    QString current;
    bool quoted = false, inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted && c == '\\' && i + 1 < exec.size()) {
            current += exec[++i];
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord)
                arguments.append(current.replace("%%", "%"));
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord)
        arguments.append(current.replace("%%", "%"));
    return arguments;
}

// A stand-in program that writes its arguments, one a line, to a file beside it.
QString recordingProgram(const TestEnvironment& env, const QString& name)
{
    const QString path = env.root() + "/bin dir/" + name;
    env.writeFile("bin dir/" + name, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

}  // namespace

class DesktopEntriesTest : public HarbrillTest {};

TEST_F(DesktopEntriesTest, EveryEntryRunsTheServiceCommandOnTheSelection)
{
    const QString program = recordingProgram(env, "harbrill \"1\" $HOME 100%");
    ASSERT_EQ(hb::Services::updateDynamicServices(program), std::nullopt);
    const QString data = env.root() + "/data";

    const QString application = read(data + "/applications/com.mirelda.Harbrill.desktop");
    const QStringList execs = values(application, "Exec");
    ASSERT_EQ(execs.size(), 3);
    EXPECT_EQ(execArguments(execs[0]), QStringList{program});
    EXPECT_EQ(execArguments(execs[1]), QStringList({program, "--service", "addToLocation", "%F"}));
    EXPECT_EQ(execArguments(execs[2]), QStringList({program, "--service", "moveHarbrill", "%F"}));
    EXPECT_EQ(values(application, "Actions"), QStringList{"addToLocation;moveHarbrill;"});
    // The packaged entry's icon, so the user's copy that hides it keeps the same picture.
    EXPECT_EQ(values(application, "Icon"), QStringList{"com.mirelda.Harbrill"});
    // Once the program is removed, the user's copy no longer shows a menu entry that cannot start.
    EXPECT_EQ(values(application, "TryExec"), QStringList{program});

    const struct {
        QString file;
        QString mimeType;
        QString message;
    } kde[] = {
        {data + "/kio/servicemenus/harbrill.desktop", "all/all;", "moveHarbrill"},
        {data + "/kio/servicemenus/harbrill-folders.desktop", "inode/directory;", "addToLocation"},
    };
    for (const auto& menu : kde) {
        const QString text = read(menu.file);
        EXPECT_EQ(values(text, "MimeType"), QStringList{menu.mimeType});
        EXPECT_EQ(execArguments(values(text, "Exec").value(0)),
                  QStringList({program, "--service", menu.message, "%F"}));
        EXPECT_TRUE(QFileInfo(menu.file).isExecutable()) << "Dolphin ignores service menus that are not executable";
    }

    const QString selection = env.root() + "/it's a \"folder\"";
    // Nemo hands the Exec line to a shell-style parser with the selection in place of %F.
    for (const QString& message : {QString("addToLocation"), QString("moveHarbrill")}) {
        const QString action = read(data + "/nemo/actions/harbrill-" + message + ".nemo_action");
        const QString exec = values(action, "Exec").value(0);
        QString shellSelection = selection;
        shellSelection.replace("'", "'\\''");
        QProcess::execute("/bin/sh", {"-c", QString(exec).replace("%F", "'" + shellSelection + "'")});
        EXPECT_EQ(read(program + ".args"), "--service\n" + message + "\n" + selection + "\n");
        EXPECT_EQ(values(action, "Extensions"), QStringList{message == "addToLocation" ? "dir;" : "any;"});
    }

    // GNOME Files runs a script with the selection in the environment, one path a line.
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", selection + "\n/tmp/*\n");
    script.setProcessEnvironment(environment);
    script.start(data + "/nautilus/scripts/Add Folder to Harbrill", {});
    ASSERT_TRUE(script.waitForFinished(10000));
    EXPECT_EQ(read(program + ".args"), "--service\naddToLocation\n" + selection + "\n/tmp/*\n");
}
