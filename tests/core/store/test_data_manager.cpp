#include "CopyFixtures.h"
#include "RecordingUIDelegate.h"
#include "TestEnvironment.h"

#include "core/store/HBConstants.h"
#include "core/store/HBDataManager.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Volumes.h"
#include "tests/platform/files/LoopVolume.h"

#include <QDir>
#include <QJsonDocument>
#include <QFile>
#include <QSignalSpy>

using namespace HBLocationEntryKey;

namespace {

class DataManagerTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        ui.answerAlert = [this](const HBAlertRequest& alert) {
            alerts << QStringList{alert.messageText, alert.informativeText};
            return 0;
        };
    }

    // A folder the user has just chosen (standing access, as after an open panel).
    hb::URL grantedFolder(const QString& relativePath)
    {
        const QString path = env.makeFolder(relativePath);
        env.grant(path);
        return hb::URL::fileURLWithPath(path, true);
    }

    static QStringList column(const HBLocationList& list, const QString& key)
    {
        QStringList values;
        for (const HBLocationEntry& entry : list)
            values << entry.value(key);
        return values;
    }

    static QVariant stored() { return hb::UserDefaults::suite(locationsSuiteName)->object(sharedDataKey); }

    // Alerts are shown from the main queue: let it run.
    void settle()
    {
        waitUntil([] { return false; }, 50);
    }

    QList<QStringList> alerts;
    RecordingUIDelegate ui;
};

TEST_F(DataManagerTest, FirstStartHoldsExactlyThePseudoEntryAndStoresIt)
{
    HBDataManager manager;
    EXPECT_EQ(manager.numberOfLocations(), 0);
    manager.fillDefaultData();
    manager.fillDefaultData();
    const HBLocationList expected{HBLocationEntries::pseudoEntry(true)};
    EXPECT_EQ(manager.dropLocations(), expected);
    EXPECT_EQ(expected.first(),
              (HBLocationEntry{
                  {name, "Add Folder"}, {path, ""}, {rule, "None"}, {icon, "addfolder"}, {permissionStatus, "true"}}));
    EXPECT_EQ(stored(), HBLocationEntries::toVariantList(expected));
}

TEST_F(DataManagerTest, NewestFolderComesFirstAndTheListSurvivesARestart)
{
    const hb::URL a = grantedFolder("A");
    const hb::URL b = grantedFolder("B");
    {
        HBDataManager manager;
        manager.fillDefaultData();
        QSignalSpy changes(&manager, &HBDataManager::dropLocationsChanged);
        manager.addLocation(a);
        manager.addLocation(b);
        EXPECT_EQ(changes.count(), 2);
        EXPECT_EQ(column(manager.dropLocations(), path), (QStringList{"", b.path(), a.path()}));
        EXPECT_EQ(column(manager.dropLocations(), name), (QStringList{"Add Folder", "B", "A"}));
        EXPECT_EQ(column(manager.dropLocations(), permissionStatus), (QStringList{"true", "true", "true"}));
    }
    hb::UserDefaults::resetSharedInstances();
    HBDataManager restarted;
    EXPECT_EQ(column(restarted.dropLocations(), path), (QStringList{"", b.path(), a.path()}));
}

TEST_F(DataManagerTest, DuplicatesAreFoundByFileIdentityAndRefusedWithAnAlert)
{
    const hb::URL a = grantedFolder("real/A");
    const hb::URL other = grantedFolder("Other");
    // The same folder through a linked parent.
    ASSERT_TRUE(QFile::link(env.root() + "/real", env.root() + "/linked"));
    const hb::URL link = hb::URL::fileURLWithPath(env.root() + "/linked/A");
    HBDataManager manager;
    manager.setUIDelegate(&ui);
    EXPECT_FALSE(manager.doesLocationExist(a)) << "an empty list holds nothing";
    manager.fillDefaultData();
    manager.addLocation(a);
    const HBLocationList before = manager.dropLocations();

    EXPECT_TRUE(manager.doesLocationExist(a));
    EXPECT_TRUE(manager.doesLocationExist(link));
    EXPECT_FALSE(manager.doesLocationExist(other));
    EXPECT_FALSE(manager.doesLocationExist(hb::URL::fileURLWithPath(env.root() + "/missing")));

    manager.addToLocationWithURLAndImage(link, std::nullopt, true);
    settle();
    EXPECT_TRUE(alerts.isEmpty());
    manager.addToLocationWithURLAndImage(a, std::nullopt, false);
    settle();
    EXPECT_EQ(manager.dropLocations(), before);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first(), (QStringList{"\"A \" already present in Harbrill",
                                           "The folder you have selected to add is already present in Harbrill"}));

    // Still found in a later run, when only the stored bookmark gives access to the folder.
    hb::AccessRegistry::resetForTesting();
    HBDataManager restarted;
    EXPECT_TRUE(restarted.doesLocationExist(a));
}

TEST_F(DataManagerTest, IconsFollowTheKindOfFolder)
{
    struct Case {
        QString relativePath;
        std::optional<QString> imageName;
        QString icon;
    };
    const Case cases[] = {
        {"home/Desktop", std::nullopt, "Desktop"},       {"home/Documents", std::nullopt, "Documents"},
        {"home/Movies", std::nullopt, "Movies"},         {"elsewhere/Desktop", std::nullopt, "folder"},
        {"home/Projects/Music", std::nullopt, "folder"}, {"home/Projects", std::nullopt, "folder"},
        {"stick", QStringLiteral("drive"), "drive"},
    };
    HBDataManager manager;
    manager.fillDefaultData();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relativePath.toStdString());
        manager.addLocation(grantedFolder(c.relativePath), c.imageName);
        EXPECT_EQ(manager.dropLocations().value(1).value(icon), c.icon);
    }
}

TEST_F(DataManagerTest, FolderWithoutAccessIsRefusedWithAnAlert)
{
    const QString locked = env.makeFolder("locked");
    HBDataManager manager;
    manager.setUIDelegate(&ui);
    manager.fillDefaultData();
    manager.addLocation(hb::URL::fileURLWithPath(locked, true));
    settle();
    EXPECT_EQ(manager.numberOfLocations(), 1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().first(), "Folder \"locked\" does not have write access");

    alerts.clear();
    const hb::URL writeOnly = grantedFolder("writeonly");
    QFile::setPermissions(writeOnly.path(), QFile::WriteOwner | QFile::ExeOwner);
    {
        const WithoutFilePermissionOverride asAnyUser;  // root would read it all the same
        manager.addLocation(writeOnly);
        settle();
    }
    QFile::setPermissions(writeOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(manager.numberOfLocations(), 1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first(), (QStringList{"Folder writeonly does not have read access",
                                           " Folder added has no permission to read. Go to the file manager -> "
                                           "Properties -> Permissions and change the permission "}));
}

TEST_F(DataManagerTest, VolumeWithoutAccessBecomesAnAddEntryUntilTheNextUpdate)
{
    const QList<hb::VolumeInfo> volumes = hb::Volumes::mountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    const hb::URL volume = volumes.last().root;
    HBLocationEntry entry = HBLocationEntries::folderEntry(volume.path());
    entry[icon] = "drive";
    const QString volumeName = entry.value(name);

    HBDataManager manager;
    manager.fillDefaultData();
    manager.addLocations({entry});
    ASSERT_EQ(manager.numberOfLocations(), 2);
    const HBLocationEntry added = manager.dropLocations().at(1);
    EXPECT_EQ(added.value(name), "Add " + volumeName);
    EXPECT_EQ(added.value(icon), "AltGenericIcon");
    EXPECT_EQ(added.value(permissionStatus), "false");
    EXPECT_EQ(added.value(path), volume.path());

    manager.updateData();
    EXPECT_EQ(manager.dropLocations(), HBLocationList{HBLocationEntries::pseudoEntry(true)});
    EXPECT_EQ(stored(), HBLocationEntries::toVariantList(manager.dropLocations()));
}

TEST_F(DataManagerTest, AnAddEntryShowsTheNoAccessImageOfItsFolderElseTheGenericOne)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Desktop", "AltDesktop"},     {"Documents", "AltDocuments"}, {"Music", "AltMusic"},
        {"Pictures", "AltPictures"},   {"Movies", "AltMovies"},       {"Reports", "AltGenericIcon"},
        {"HBSTICK", "AltGenericIcon"},
    };
    for (const auto& [folder, image] : cases) {
        HBLocationEntry entry = HBLocationEntries::folderEntry(QStringLiteral("/home/ann/") + folder);
        HBDataManager::markEntryNeedsPermission(entry);
        EXPECT_EQ(entry.value(name), QStringLiteral("Add ") + folder);
        EXPECT_EQ(entry.value(icon), image) << folder;
    }
}

TEST_F(DataManagerTest, UpdateFollowsRenamedFoldersAndDropsGoneOnes)
{
    const hb::URL renamed = grantedFolder("Reports");
    const hb::URL gone = grantedFolder("Gone");
    const hb::URL kept = grantedFolder("Kept");
    HBDataManager manager;
    manager.fillDefaultData();
    manager.addLocation(kept);
    manager.addLocation(gone);
    manager.addLocation(renamed, QStringLiteral("Documents"));

    ASSERT_TRUE(QDir().rename(renamed.path(), env.root() + "/Reports 2024"));
    ASSERT_TRUE(QDir(gone.path()).removeRecursively());
    hb::AccessRegistry::resetForTesting();  // a new run: only the bookmarks give access
    manager.updateData();

    EXPECT_EQ(column(manager.dropLocations(), path), (QStringList{"", env.root() + "/Reports 2024", kept.path()}));
    EXPECT_EQ(column(manager.dropLocations(), name), (QStringList{"Add Folder", "Reports 2024", "Kept"}));
    EXPECT_EQ(column(manager.dropLocations(), icon), (QStringList{"addfolder", "Documents", "folder"}));
    EXPECT_EQ(stored(), HBLocationEntries::toVariantList(manager.dropLocations()));
}

TEST_F(DataManagerTest, MoveItemKeepsTheOthersInOrderAndThePseudoEntryFirst)
{
    struct Case {
        qsizetype from;
        qsizetype to;
        QString order;
    };
    const Case cases[] = {
        {3, 1, "pDAB"}, {1, 3, "pBDA"}, {1, 2, "pBAD"}, {2, 1, "pBAD"},  {3, 2, "pADB"}, {0, 2, "pABD"},
        {2, 0, "pABD"}, {1, 4, "pABD"}, {4, 1, "pABD"}, {-1, 1, "pABD"}, {2, 2, "pABD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        HBDataManager manager;
        HBLocationList list{HBLocationEntries::pseudoEntry(true)};
        for (const char* folder : {"/A", "/B", "/D"})
            list << HBLocationEntries::folderEntry(folder);
        manager.setDropLocations(list);
        manager.moveItem(c.from, c.to);
        QString order;
        for (const HBLocationEntry& entry : manager.dropLocations())
            order += HBLocationEntries::isPseudoEntry(entry) ? QString("p") : entry.value(name);
        EXPECT_EQ(order, c.order);
    }
}

TEST_F(DataManagerTest, FirstItemSwitchesOnlyWhenItChanges)
{
    HBDataManager manager;
    manager.fillDefaultData();
    QSignalSpy changes(&manager, &HBDataManager::dropLocationsChanged);
    manager.setFirstItem(false);
    manager.setFirstItem(false);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(manager.dropLocations().first(), HBLocationEntries::pseudoEntry(false));
    manager.setFirstItem(true);
    EXPECT_EQ(manager.dropLocations().first(), HBLocationEntries::pseudoEntry(true));
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(DataManagerTest, GrantedPermissionMakesTheEntryUsable)
{
    const QString folder = env.makeFolder("Shared");
    HBDataManager manager;
    manager.fillDefaultData();
    manager.addLocations({HBLocationEntries::folderEntry(folder)});
    ASSERT_EQ(manager.dropLocations().at(1).value(name), "Add Shared");

    auto post = [](const QVariantMap& userInfo) {
        hb::NotificationCenter::defaultCenter().post(permissionGrantedNotification, nullptr, userInfo);
    };
    post({});
    post({{urlUserInfoKey, QVariant::fromValue(hb::URL::fileURLWithPath(env.root() + "/Other"))}});
    post({{urlUserInfoKey, QVariant::fromValue(hb::URL::fileURLWithPath(folder))}});  // still no access
    EXPECT_EQ(manager.dropLocations().at(1).value(permissionStatus), "false");

    env.grant(folder);
    post({{urlUserInfoKey, QVariant::fromValue(hb::URL::fileURLWithPath(folder))}});
    EXPECT_EQ(manager.dropLocations().at(1),
              (HBLocationEntry{
                  {name, "Shared"}, {path, folder}, {rule, "None"}, {icon, "folder"}, {permissionStatus, "true"}}));
}

TEST_F(DataManagerTest, RemovalKeepsThePseudoEntryAndCleanAllOnlyForgetsTheStoredList)
{
    HBDataManager manager;
    manager.fillDefaultData();
    manager.addLocation(grantedFolder("A"));
    manager.addLocation(grantedFolder("B"));
    manager.removeFromLocation(0);
    manager.removeFromLocation(3);
    manager.removeFromLocation(1);
    EXPECT_EQ(column(manager.dropLocations(), name), (QStringList{"Add Folder", "A"}));
    EXPECT_EQ(stored(), HBLocationEntries::toVariantList(manager.dropLocations()));

    manager.dangerousCleanAll();
    EXPECT_FALSE(stored().isValid());
    EXPECT_EQ(manager.numberOfLocations(), 2);
}

TEST_F(DataManagerTest, DamagedStoredListLosesOnlyWhatCannotBeRead)
{
    const QVariantMap good{{name, "A"}, {path, "/A"}, {rule, "None"}, {icon, "folder"}, {permissionStatus, "true"}};
    struct Case {
        const char* name;
        QVariant stored;
        QStringList paths;
    };
    const Case cases[] = {
        {"bad entries are left out, the pseudo entry is put first",
         QVariantList{42, good, QVariantMap{{name, 7}, {path, "/B"}}, QVariantMap{{name, "C"}, {path, "relative/C"}},
                      HBLocationEntries::toVariantList({HBLocationEntries::pseudoEntry(false)}).first()},
         {"", "/A"}},
        {"a list without the pseudo entry gets one", QVariantList{good}, {"", "/A"}},
        {"not a list", QVariant(QStringLiteral("garbage")), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hb::UserDefaults* suite = hb::UserDefaults::suite(locationsSuiteName);
        suite->removeObject(sharedDataKey + ".unreadable");
        suite->setObject(sharedDataKey, c.stored);
        HBDataManager manager;
        EXPECT_EQ(column(manager.dropLocations(), path), c.paths);
        EXPECT_EQ(suite->object(sharedDataKey + ".unreadable"), c.paths.isEmpty() ? c.stored : QVariant());
    }
}

// Entries this version cannot read (a newer version's, a damaged one) are not shown, and every write
// of the list gives them back in their places.
TEST_F(DataManagerTest, EntriesThatCannotBeReadAreWrittenBackInTheirPlaces)
{
    const QVariantMap a{{name, "A"}, {path, "/A"}, {rule, "None"}, {icon, "folder"}, {permissionStatus, "true"}};
    const QVariantMap newer{{name, "B"}, {path, "/B"}, {"Colour", QVariantList{1, 2, 3}}};
    const QVariant pseudo = HBLocationEntries::toVariantList({HBLocationEntries::pseudoEntry(true)}).first();
    hb::UserDefaults::suite(locationsSuiteName)->setObject(sharedDataKey, QVariantList{pseudo, newer, a, 42});
    HBDataManager manager;
    EXPECT_EQ(column(manager.dropLocations(), path), (QStringList{"", "/A"}));

    manager.addLocations({HBLocationEntries::folderEntry("/C")});
    const QVariantList expected{pseudo, newer, HBLocationEntries::toVariantList(manager.dropLocations()).at(1), a, 42};
    EXPECT_EQ(stored(), expected) << QJsonDocument::fromVariant(stored()).toJson().toStdString()
                                  << QJsonDocument::fromVariant(expected).toJson().toStdString();
}

// A destination on a drive, and the drive's own tile: unmounted, the drive's tiles go and their entries stay
// stored in their places; mounted again, they come back where they were. A folder that went from the
// drive meanwhile goes for good once the drive is back.
TEST_F(DataManagerTest, DestinationsOnAnUnmountedDriveComeBackWithIt)
{
    const QString mountPoint = env.root() + "/media/STICK";
    LoopVolume stick(mountPoint);
    if (!stick.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(stick.reason().toStdString());
    QDir().mkpath(mountPoint + "/OnStick");
    QDir().mkpath(mountPoint + "/Gone");
    env.grant(mountPoint);
    const hb::URL before = grantedFolder("Before");
    const hb::URL after = grantedFolder("After");
    HBDataManager manager;
    manager.fillDefaultData();
    manager.addLocation(after);
    manager.addLocation(hb::URL::fileURLWithPath(mountPoint + "/Gone", true));
    manager.addLocation(hb::URL::fileURLWithPath(mountPoint, true), QStringLiteral("drive"));
    manager.addLocation(hb::URL::fileURLWithPath(mountPoint + "/OnStick", true));
    manager.addLocation(before);
    ASSERT_EQ(column(manager.dropLocations(), path), (QStringList{"", before.path(), mountPoint + "/OnStick",
                                                                  mountPoint, mountPoint + "/Gone", after.path()}));
    ASSERT_TRUE(QDir(mountPoint + "/Gone").removeRecursively());
    const QVariant storedWhileMounted = stored();

    stick.unmount();
    hb::AccessRegistry::resetForTesting();  // a new run: only the bookmarks give access
    for (int pass = 0; pass < 2; ++pass) {
        manager.updateData();
        EXPECT_EQ(column(manager.dropLocations(), path), (QStringList{"", before.path(), after.path()})) << pass;
        EXPECT_EQ(stored(), storedWhileMounted) << "the drive's entries stay stored, in their places";
    }

    ASSERT_TRUE(stick.mount());
    manager.updateData();
    EXPECT_EQ(column(manager.dropLocations(), path),
              (QStringList{"", before.path(), mountPoint + "/OnStick", mountPoint, after.path()}));
    EXPECT_EQ(stored(), HBLocationEntries::toVariantList(manager.dropLocations()));
}

TEST_F(DataManagerTest, UnparsableSuiteFileIsKeptAsideAndTheListStartsFresh)
{
    const QString suiteFile = hb::UserDefaults::suite(locationsSuiteName)->filePath();
    hb::UserDefaults::resetSharedInstances();
    QDir().mkpath(QFileInfo(suiteFile).path());
    QFile file(suiteFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();

    HBDataManager manager;
    manager.fillDefaultData();
    EXPECT_EQ(manager.dropLocations(), HBLocationList{HBLocationEntries::pseudoEntry(true)});
    bool keptAside = false;
    for (const QFileInfo& info : QDir(QFileInfo(suiteFile).path()).entryInfoList(QDir::Files)) {
        QFile candidate(info.filePath());
        keptAside = keptAside
                    || (info.filePath() != suiteFile && candidate.open(QIODevice::ReadOnly)
                        && candidate.readAll() == "{ not json");
    }
    EXPECT_TRUE(keptAside);
}

}  // namespace
