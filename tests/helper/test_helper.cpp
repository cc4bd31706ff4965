#include "TestEnvironment.h"

#include "platform/desktop/SingleInstance.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

// The helper runs from a folder of its own; "harbrill" is a script that notes each start.
class HelperTest : public HarbrillTest {
protected:
    void SetUp() override { m_path = qgetenv("PATH"); }
    void TearDown() override { qputenv("PATH", m_path); }

    QString placeHelper(const QString& folder) const
    {
        const QString helper = env.makeFolder(folder) + QStringLiteral("/harbrill-helper");
        EXPECT_TRUE(QFile::copy(QStringLiteral(HARBRILL_HELPER), helper));
        return helper;
    }
    void placeHarbrill(const QString& folder) const
    {
        const QString program = env.writeFile(
            folder + QStringLiteral("/harbrill"),
            QStringLiteral("#!/bin/sh\necho \"started $#\" >> '%1'\n").arg(startsFile()).toUtf8());
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString startsFile() const { return env.root() + QStringLiteral("/starts"); }
    QByteArray starts() const
    {
        QFile file(startsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    struct Run {
        int exitCode;
        QString errors;
    };
    static Run run(const QString& helper)
    {
        QProcess process;
        process.start(helper, {});
        process.waitForFinished(10000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardError())};
    }

    QByteArray m_path;
};

TEST_F(HelperTest, StartsHarbrillBesideItElseFromThePath)
{
    struct Case {
        const char* name;
        QString helperFolder;
        QString harbrillFolder;
    };
    const Case cases[] = {
        {"beside", QStringLiteral("installed/bin"), QStringLiteral("installed/bin")},
        {"on the PATH", QStringLiteral("lone"), QStringLiteral("path")},
    };
    qputenv("PATH", (env.root() + QStringLiteral("/path:/usr/bin:/bin")).toUtf8());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(startsFile());
        const QString helper = placeHelper(c.helperFolder);
        placeHarbrill(c.harbrillFolder);
        const Run result = run(helper);
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        EXPECT_TRUE(waitUntil([&] { return !starts().isEmpty(); }));
        EXPECT_EQ(starts(), "started 0\n");
    }
}

TEST_F(HelperTest, LeavesARunningHarbrillAlone)
{
    const QString helper = placeHelper(QStringLiteral("bin"));
    placeHarbrill(QStringLiteral("bin"));
    auto running = std::make_unique<hb::SingleInstance>();
    ASSERT_EQ(std::get<hb::SingleInstance::Role>(running->acquire()), hb::SingleInstance::Role::Primary);

    Run result = run(helper);
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_TRUE(QFileInfo::exists(hb::SingleInstance::raiseSocketPath())) << "the running instance still listens";

    // Once it has quit, the next login starts it: one start in all.
    running.reset();
    result = run(helper);
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    ASSERT_TRUE(waitUntil([&] { return !starts().isEmpty(); }));
    EXPECT_EQ(starts(), "started 0\n");
}

TEST_F(HelperTest, SaysSoWhenThereIsNoHarbrillToStart)
{
    qputenv("PATH", "/nonexistent");
    const Run result = run(placeHelper(QStringLiteral("lone")));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains(QStringLiteral("harbrill is neither beside"))) << result.errors.toStdString();
}

}  // namespace
