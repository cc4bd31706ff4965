#include "TestEnvironment.h"

#include <QFile>
#include <QScopeGuard>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Finished {
    int exitCode;
    QString out;
    QString err;
};

// The program with these arguments and no desktop at all, in the test's private folders.
Finished harbrill(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(HARBRILL_PROGRAM, arguments);
    EXPECT_TRUE(process.waitForFinished(20000)) << arguments.join(' ').toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The SYNOPSIS of the manual page as its reader sees it: one form a line.
QStringList manualSynopsis()
{
    QFile manual(HARBRILL_MANUAL);
    EXPECT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(manual.readAll());
    const qsizetype start = page.indexOf(".SH SYNOPSIS\n") + 13;
    const QString section = page.mid(start, page.indexOf("\n.SH ", start) - start);
    QStringList forms{QString()};
    for (QString line : section.split(u'\n')) {
        if (line == ".br") {
            forms << QString();
            continue;
        }
        line.replace("\\-", "-");
        // .BR and .IR alternate fonts without a blank between their words; .B and .I keep their blanks.
        const bool alternating = line.startsWith(".BR ") || line.startsWith(".IR ");
        QString words = line.mid(line.indexOf(u' ') + 1);
        if (alternating)
            words.remove(u' ');
        forms.last() += (forms.last().isEmpty() ? QString() : QStringLiteral(" ")) + words;
    }
    return forms;
}

class CommandLine : public HarbrillTest {};

TEST_F(CommandLine, HelpPrintsTheSynopsisOfTheManualAndVersionTheVersion)
{
    const Finished help = harbrill({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    QStringList printed = help.out.trimmed().split(u'\n');
    for (QString& line : printed)
        line = line.mid(line.indexOf("harbrill"));  // after "usage: " and its indent
    EXPECT_EQ(printed, manualSynopsis()) << help.out.toStdString();
    EXPECT_GE(printed.size(), 4);

    const Finished version = harbrill({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("harbrill 1.0.0\n"));

    const Finished unknown = harbrill({"--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_TRUE(unknown.err.startsWith("harbrill: unknown argument --frobnicate\nusage: harbrill\n"))
        << unknown.err.toStdString();
}

// The name reaches the check as the bytes the shell passed (a process cannot be given them as text).
TEST_F(CommandLine, AServiceRequestForANameThatIsNotUtf8SaysTheNameCannotBeHandled)
{
    const QByteArray name = QFile::encodeName(env.makeFolder("files")) + "/caf\xe9.txt";
    const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    // Qt cannot name it, so it could not remove the temporary folder.
    const auto remove = qScopeGuard([&] { ::unlink(name.constData()); });
    QProcess process;
    process.start("/bin/sh", {"-c", "exec \"$0\" --service moveHarbrill \"$(printf '%s/caf\\351.txt' \"$1\")\"",
                              HARBRILL_PROGRAM, env.root() + "/files"});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 2);
    const QString said = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(said.contains("Harbrill cannot handle the name " + env.root()
                              + "/files/caf\\xe9.txt: it is not "
                                "valid UTF-8 text."))
        << said.toStdString();
}

}  // namespace
