#include "TestEnvironment.h"

#include "platform/desktop/LoginItem.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

const QString identifier = QStringLiteral("com.mirelda.HarbrillHelper");

// The login helper on the PATH is a script that leaves a mark when it runs.
class LoginItemTest : public HarbrillTest {
protected:
    void SetUp() override { m_path = qgetenv("PATH"); }
    void TearDown() override { qputenv("PATH", m_path); }

    QString installHelper(const QString& folder) const
    {
        const QString helper = env.writeFile(folder + QStringLiteral("/harbrill-helper"),
                                             QStringLiteral("#!/bin/sh\necho ran > '%1'\n").arg(mark()).toUtf8());
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", (QFileInfo(helper).absolutePath() + QStringLiteral(":/usr/bin:/bin")).toUtf8());
        return helper;
    }
    QString mark() const { return env.root() + QStringLiteral("/helper-ran"); }
    QString entry() const { return hb::LoginItem::entryPath(identifier); }

    // Starts the entry the way a desktop session does (GLib's desktop-entry launcher).
    bool launchEntry() const
    {
        return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral("-c"),
                                  QStringLiteral("import sys; from gi.repository import Gio; "
                                                 "sys.exit(0 if Gio.DesktopAppInfo.new_from_filename(sys.argv[1])"
                                                 ".launch([], None) else 1)"),
                                  entry()})
               == 0;
    }

    QByteArray m_path;
};

TEST_F(LoginItemTest, TheEntryRunsTheHelperFromAnyFolderName)
{
    const QString folders[] = {
        QStringLiteral("bin"),         QStringLiteral("with space"),  QStringLiteral("quote\"d 'single'"),
        QStringLiteral("dollar$HOME"), QStringLiteral("back\\slash"), QStringLiteral("semi;amp&`tick` <>|*?#~"),
    };
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        QFile::remove(mark());
        const QString helper = installHelper(folder);
        ASSERT_EQ(hb::LoginItem::helperProgram(), helper);
        ASSERT_EQ(hb::LoginItem::setEnabled(identifier, true), std::nullopt);
        EXPECT_EQ(QFileInfo(entry()).absolutePath(), env.root() + QStringLiteral("/config/autostart"));
        EXPECT_TRUE(hb::LoginItem::isEnabled(identifier));
        ASSERT_TRUE(launchEntry());
        EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(mark()); }));
    }
    ASSERT_EQ(hb::LoginItem::setEnabled(identifier, false), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(entry()));
    EXPECT_FALSE(hb::LoginItem::isEnabled(identifier));
    EXPECT_EQ(hb::LoginItem::setEnabled(identifier, false), std::nullopt) << "nothing to remove is no failure";
}

TEST_F(LoginItemTest, FailuresSayWhyAndLeaveNoEntry)
{
    qputenv("PATH", "/nonexistent");
    std::optional<hb::Error> error = hb::LoginItem::setEnabled(identifier, true);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains("harbrill-helper"));
    EXPECT_FALSE(QFileInfo::exists(entry()));

    installHelper(QStringLiteral("bin"));
    env.writeFile(QStringLiteral("config/autostart"), "a file where the folder belongs");
    error = hb::LoginItem::setEnabled(identifier, true);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains("autostart"));
    EXPECT_FALSE(hb::LoginItem::isEnabled(identifier));
}

TEST_F(LoginItemTest, AnEntryThatHidesItselfIsOff)
{
    struct Case {
        const char* contents;
        bool enabled;
    };
    const Case cases[] = {
        {"[Desktop Entry]\nExec=x\n", true},
        {"[Desktop Entry]\nExec=x\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contents);
        env.writeFile(QStringLiteral("config/autostart/") + identifier + QStringLiteral(".desktop"), c.contents);
        EXPECT_EQ(hb::LoginItem::isEnabled(identifier), c.enabled);
    }
}

}  // namespace
