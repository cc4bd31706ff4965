#include "TestEnvironment.h"

#include "platform/base/Locations.h"
#include "platform/files/AccessRegistry.h"

#include <QFile>

#include <thread>
#include <vector>

using namespace hb;

using AccessRegistryTest = HarbrillTest;

TEST_F(AccessRegistryTest, StandingGrantCoversWholeComponentsOnly)
{
    const QString granted = env.makeFolder("granted");
    env.makeFolder("granted/sub");
    env.makeFolder("granted2");
    env.makeFolder("other");
    env.grant(granted);

    const struct {
        QString path;
        bool expected;
    } cases[] = {
        {granted, true},
        {granted + "/sub", true},
        {granted + "/missing/deeper", true},
        {granted + "/sub/../sub", true},
        {granted + "/../other", false},
        {env.root() + "/granted2", false},
        {env.root(), false},
        {env.root() + "/other", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AccessRegistry::hasAccess(c.path), c.expected) << c.path.toStdString();
}

TEST_F(AccessRegistryTest, LinkInsideGrantDoesNotExtendIt)
{
    const QString granted = env.makeFolder("granted");
    const QString outside = env.makeFolder("outside");
    env.writeFile("outside/secret", "x");
    ASSERT_TRUE(QFile::link(outside, granted + "/link"));
    env.grant(granted);

    EXPECT_FALSE(AccessRegistry::hasAccess(granted + "/link"));
    EXPECT_FALSE(AccessRegistry::hasAccess(granted + "/link/secret"));
    EXPECT_FALSE(AccessRegistry::hasReadAccess(granted + "/link/secret"));
    // The link itself lies in the grant (it may be removed or moved).
    EXPECT_TRUE(AccessRegistry::hasAccess(granted + "/link", false));
    // A link from outside into the grant leads to granted ground.
    ASSERT_TRUE(QFile::link(granted, outside + "/in"));
    EXPECT_TRUE(AccessRegistry::hasAccess(outside + "/in/file"));
}

// Links are followed while they lead into a grant, whether they are relative or absolute, and the place
// they lead to is what is judged.
TEST_F(AccessRegistryTest, LinksLeadWhereTheyPointWithinTheGrants)
{
    const QString granted = env.makeFolder("granted");
    const QString other = env.makeFolder("other");
    env.makeFolder("granted/real/deep");
    env.makeFolder("outside");
    env.grant(granted);
    env.grant(other);
    const struct {
        const char* link;
        QString target;
        bool expected;
    } cases[] = {
        {"relative", "real/deep", true},
        {"absolute", granted + "/real/deep", true},
        {"to another grant", other, true},
        {"chain", granted + "/relative", true},
        {"up and out", "../outside", false},
        {"up and back in", "../granted/real", true},
        {"absolute out", env.root() + "/outside", false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(QFile::link(c.target, granted + "/" + c.link)) << c.link;
        EXPECT_EQ(AccessRegistry::hasAccess(granted + "/" + c.link + "/x"), c.expected) << c.link;
        EXPECT_EQ(AccessRegistry::hasAccess(granted + "/" + c.link), c.expected) << c.link;
        EXPECT_TRUE(AccessRegistry::hasAccess(granted + "/" + c.link, false)) << c.link;
    }
}

// Each path is judged twice: once resolving its folder, once from the remembered folder name.
TEST_F(AccessRegistryTest, LinksJudgedWhereTheyLieWithAnyNames)
{
    const QString granted = env.makeFolder(QStringLiteral("Fotos \u00fc"));
    const QString outside = env.makeFolder("outside");
    ASSERT_TRUE(QFile::link(outside, granted + "/ln"));
    env.grant(granted);

    const struct {
        QString path;
        bool expected;
    } cases[] = {
        {granted + QStringLiteral("/Bild \u00e4\u4e2d.jpg"), true},
        {granted + "/ln", true},
        {granted + QStringLiteral("/ln/\u00f6"), false},
        {granted + "/ln/x", false},
        {granted + "/../outside/x", false},
        {granted + "/.", true},
        {granted + "/..", false},
        {granted + "/sub/", true},
        {"/", false},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases)
            EXPECT_EQ(AccessRegistry::hasAccess(c.path, false), c.expected) << c.path.toStdString();
    }
}

TEST_F(AccessRegistryTest, ScopesOpenOnlyForScopedURLsAndAreCounted)
{
    const QString folder = env.makeFolder("folder");
    const URL plain = URL::fileURLWithPath(folder, true);
    const URL scoped = env.scopedURL(folder);

    EXPECT_FALSE(startAccessingSecurityScopedResource(plain));
    EXPECT_FALSE(AccessRegistry::hasAccess(folder));

    stopAccessingSecurityScopedResource(scoped);  // without a start: nothing
    ASSERT_TRUE(startAccessingSecurityScopedResource(scoped));
    ASSERT_TRUE(startAccessingSecurityScopedResource(scoped));
    EXPECT_TRUE(AccessRegistry::hasAccess(folder + "/child"));
    stopAccessingSecurityScopedResource(scoped);
    EXPECT_TRUE(AccessRegistry::hasAccess(folder));
    stopAccessingSecurityScopedResource(scoped);
    EXPECT_FALSE(AccessRegistry::hasAccess(folder));
    stopAccessingSecurityScopedResource(scoped);
    EXPECT_FALSE(AccessRegistry::hasAccess(folder));
}

TEST_F(AccessRegistryTest, ContainerIsGrantedAndScriptsFolderReadOnly)
{
    const QString scripts = Locations::applicationScriptsDirectory();
    EXPECT_TRUE(AccessRegistry::hasAccess(Locations::containerDirectory() + "/file"));
    EXPECT_TRUE(AccessRegistry::hasReadAccess(scripts + "/script"));
    EXPECT_FALSE(AccessRegistry::hasAccess(scripts + "/script"));
    EXPECT_FALSE(AccessRegistry::hasAccess(env.home()));
}

TEST_F(AccessRegistryTest, ConcurrentScopesStayBalanced)
{
    const QString folder = env.makeFolder("folder");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const URL scoped = env.scopedURL(folder + "/" + QString::number(t % 2));
            for (int i = 0; i < 2000; ++i) {
                startAccessingSecurityScopedResource(scoped);
                AccessRegistry::hasAccess(scoped.path());
                stopAccessingSecurityScopedResource(scoped);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_FALSE(AccessRegistry::hasAccess(folder + "/0"));
    EXPECT_FALSE(AccessRegistry::hasAccess(folder + "/1"));
}
