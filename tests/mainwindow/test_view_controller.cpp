#include "TestEnvironment.h"

#include "core/engine/HBEngineTypes.h"
#include "core/hotkey/DDHotKeyCenter.h"
#include "core/sources/HBExternalServices.h"
#include "core/sources/HBFinderData.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/ViewController.h"
#include "mainwindow/folders/HBVolumesPermissionController.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/HotKey.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/desktop/UserScriptTask.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Volumes.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct ShownAlert {
    QString message;
    QString informative;
    hb::AlertStyle style;
    QStringList buttons;
};

// A controller on real folders: "work" is reachable only through its stored bookmark, as after the
// user granted it in an earlier run. Alerts are recorded and answered with `answer`.
class ViewControllerTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
        hb::Alert::setPresenter([this](const hb::Alert& alert) {
            alerts.push_back({alert.messageText, alert.informativeText, alert.alertStyle, alert.buttons});
            return answer;
        });
        work = env.makeFolder(QStringLiteral("work"));
        env.grant(work);
        ASSERT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath(work, true), false));
        hb::AccessRegistry::resetForTesting();
        controller = std::make_unique<ViewController>();
    }
    void TearDown() override
    {
        controller.reset();
        hb::Alert::setPresenter(nullptr);
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::HotKeys::setBackend(nullptr);
    }

    QString file(const QString& relative, const QByteArray& contents = "x") const
    {
        return env.writeFile(QStringLiteral("work/") + relative, contents);
    }
    QString folder(const QString& relative) const { return env.makeFolder(QStringLiteral("work/") + relative); }
    QStringList entries(const QString& relative) const
    {
        return QDir(work + QLatin1Char('/') + relative).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    static void post(const QString& name, const QVariantMap& userInfo = {})
    {
        hb::NotificationCenter::defaultCenter().post(name, nullptr, userInfo);
    }
    // Files handed over by the Services menu.
    static void receive(const QStringList& paths)
    {
        QVariantList urls;
        for (const QString& path : paths)
            urls << QVariant::fromValue(hb::URL::fileURLWithPath(path));
        post(receivedDataNotification, {{receivedDataUserInfoKey, urls}});
    }
    static void click(const QString& destination, const QString& action)
    {
        post(destinationSelectedNotification, {{destinationUserInfoKey, destination},
                                               {actionUserInfoKey, action},
                                               {sourceUserInfoKey, finderSourceValue}});
    }
    bool shiftsFinish() const
    {
        return waitUntil([&] { return controller->fileOperationServices().operations().empty(); }, 20000);
    }
    QString firstTile() const
    {
        return controller->destinationCollection().dropLocations().value(0).value(HBLocationEntryKey::name);
    }
    void installFinderScript(const QString& printedPath) const
    {
        const QString script = hb::UserScriptTask::applicationScriptsDirectory(true)
                                   ->appendingPathComponent(HBFinderData::scriptFileName)
                                   .path();
        QFile out(script);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(QStringLiteral("#!/bin/sh\necho '%1'\n").arg(printedPath).toUtf8());
        out.close();
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    static void settle(int ms = 600)
    {
        waitUntil([] { return false; }, ms);
    }

    QString work;
    std::unique_ptr<ViewController> controller;
    std::vector<ShownAlert> alerts;
    int answer = hb::NSAlertFirstButtonReturn;
};

TEST_F(ViewControllerTest, ChangeSizeSwitchesTheHolderWidthAroundExactly332)
{
    controller->show();
    ASSERT_TRUE(controller->collectionViewHolder());
    EXPECT_EQ(controller->collectionViewHolder()->maximumWidth(), 332);
    struct Step {
        QVariant size;
        int width;
    };
    const Step steps[] = {
        {331.9, 347}, {332.0, 347}, {332.5, 332}, {332.0, 332}, {331.9, 347}, {QVariant(), 347}, {400.0, 332},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.size.toString().toStdString());
        QVariantMap userInfo;
        if (step.size.isValid())
            userInfo.insert(sizeUserInfoKey, step.size);
        post(changeSizeNotification, userInfo);
        EXPECT_EQ(controller->collectionViewHolder()->minimumWidth(), step.width);
        EXPECT_EQ(controller->collectionViewHolder()->maximumWidth(), step.width);
    }
}

TEST_F(ViewControllerTest, ATileClickWithoutFilesStartsNothingAndKeepsTheAddFolderTile)
{
    const QString d = folder("d");
    controller->show();
    for (const QString& action : {moveActionValue, noneActionValue}) {
        click(d, action);
        EXPECT_TRUE(controller->fileOperationServices().operations().empty());
    }
    // Files that were all refused leave an empty source, which counts as none.
    receive({env.writeFile(QStringLiteral("elsewhere/a"), "a")});
    ASSERT_TRUE(controller->sourceManager());
    click(d, moveActionValue);
    EXPECT_TRUE(controller->fileOperationServices().operations().empty());
    EXPECT_TRUE(controller->sourceManager()) << "an empty source stays until it is replaced";
    EXPECT_EQ(firstTile(), QStringLiteral("Add Folder"));
}

TEST_F(ViewControllerTest, TheTileActionDecidesBetweenMoveCopyAndNothing)
{
    struct Case {
        QString action;
        QStringList leftInSource;
        QStringList inDestination;
    };
    const Case cases[] = {
        {moveActionValue, {}, {"a", "b"}},
        {copyActionValue, {"a", "b"}, {"a", "b"}},
        {noneActionValue, {"a", "b"}, {}},
        {QString(), {"a", "b"}, {}},
    };
    controller->show();
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action.toStdString());
        const QString src = QStringLiteral("src%1/").arg(round);
        const QString d = folder(QStringLiteral("d%1").arg(round++));
        receive({file(src + "a", "a"), file(src + "b", "b")});
        ASSERT_TRUE(controller->isDataAvailable());
        EXPECT_EQ(firstTile(), QStringLiteral("Choose Folder"));

        click(d, c.action);
        EXPECT_FALSE(controller->sourceManager()) << "the source is dropped once a folder was chosen";
        EXPECT_EQ(firstTile(), QStringLiteral("Add Folder"));
        ASSERT_TRUE(shiftsFinish());
        EXPECT_EQ(entries(src), c.leftInSource);
        EXPECT_EQ(QDir(d).entryList(QDir::Files), c.inDestination);
    }
}

TEST_F(ViewControllerTest, AMoveThroughATileIsUndoneByTheUndoButtonOnce)
{
    hb::UserDefaults::standard().setBool(playSoundEffectsDefaultsKey, true);  // a silent machine must not matter
    const QString d = folder("d");
    controller->show();
    ASSERT_FALSE(controller->undoButton()->isEnabled());
    receive({file("src/a", "a"), file("src/b", "b")});
    click(d, moveActionValue);
    ASSERT_TRUE(waitUntil([&] { return controller->undoEnabled(); }, 20000));
    EXPECT_TRUE(controller->undoButton()->isEnabled());
    EXPECT_EQ(entries("d"), (QStringList{"a", "b"}));
    EXPECT_TRUE(entries("src").isEmpty());

    controller->undoButton()->click();
    EXPECT_FALSE(controller->undoEnabled());
    EXPECT_FALSE(controller->undoButton()->isEnabled());
    ASSERT_TRUE(shiftsFinish());
    EXPECT_EQ(entries("src"), (QStringList{"a", "b"}));
    EXPECT_TRUE(entries("d").isEmpty());

    controller->undoLastShift();  // nothing left to undo
    EXPECT_TRUE(controller->fileOperationServices().operations().empty());
    settle();
    EXPECT_FALSE(controller->undoEnabled()) << "the undo's own completion leaves nothing to undo";
    EXPECT_EQ(entries("src"), (QStringList{"a", "b"}));
}

// One item of three cannot be shifted (it lies in the destination already): its failure is shown, and
// Undo, enabled all the same, puts back exactly the two that moved.
TEST_F(ViewControllerTest, AfterAPartlyFailedShiftUndoPutsBackWhatMoved)
{
    const QString d = folder("d");
    controller->show();
    receive({file("src/a", "a"), file("d/inside", "i"), file("src/b", "b")});
    click(d, moveActionValue);
    ASSERT_TRUE(shiftsFinish());
    ASSERT_TRUE(waitUntil([&] { return controller->undoEnabled(); }, 5000)) << "Undo stays off after a partial failure";
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, QStringLiteral("Cannot move items"));
    EXPECT_TRUE(controller->undoButton()->isEnabled());

    controller->undoButton()->click();
    ASSERT_TRUE(shiftsFinish());
    EXPECT_EQ(entries("src"), (QStringList{"a", "b"}));
    EXPECT_EQ(entries("d"), QStringList{"inside"});
    EXPECT_FALSE(controller->undoEnabled());
}

// A shift that ends while an alert is up is handled meanwhile: once the alert is answered, the quit
// alert has no shift left to warn about and Undo is on.
TEST_F(ViewControllerTest, AShiftEndingWhileAnAlertIsUpNoLongerCountsAsRunning)
{
    controller->show();
    receive({file("src/a", "a")});
    click(folder("d"), moveActionValue);
    hb::Alert::setPresenter([this](const hb::Alert&) {
        waitUntil([&] { return entries("d") == QStringList{"a"}; });
        settle(1200);
        return static_cast<int>(hb::NSAlertFirstButtonReturn);
    });
    hb::Alert alert;
    alert.messageText = "another alert";
    alert.runModal();
    EXPECT_FALSE(controller->isOperationInProgress());
    EXPECT_TRUE(controller->fileOperationServices().operations().empty());
    EXPECT_TRUE(waitUntil([&] { return controller->undoEnabled(); }, 2000));
}

TEST_F(ViewControllerTest, QuittingWhileAShiftRunsAsksFirst)
{
    QSignalSpy terminated(&hb::Application::shared(), &hb::Application::didTerminate);
    controller->show();
    for (int i = 0; i < 3000; ++i)  // a copy that runs for a while
        file(QStringLiteral("src/tree/f%1").arg(i));
    receive({work + "/src/tree"});
    click(folder("d"), copyActionValue);
    ASSERT_TRUE(controller->isOperationInProgress());

    answer = hb::NSAlertFirstButtonReturn;
    controller->quitApp();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, QStringLiteral("Move or copying operation in progress"));
    EXPECT_EQ(alerts[0].informative,
              QStringLiteral("There are items being moved/copied which will be canceled if you quit. Are you sure you "
                             "want to quit Harbrill? "));
    EXPECT_EQ(alerts[0].style, hb::AlertStyle::critical);
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Cancel", "Quit"}));
    EXPECT_EQ(terminated.count(), 0);
    EXPECT_TRUE(controller->isOperationInProgress());

    answer = hb::NSAlertSecondButtonReturn;
    controller->quitApp();
    EXPECT_EQ(alerts.size(), 2u);
    EXPECT_EQ(terminated.count(), 1);
    EXPECT_TRUE(controller->fileOperationServices().operations().empty()) << "quitting stops the shift";
}

TEST_F(ViewControllerTest, DestinationKindNamesOnlyWholeHomeFolders)
{
    const QString home = env.home();
    const hb::URL volume = hb::Volumes::mountedVolumes().first().root;
    env.grant(volume.path());
    ASSERT_TRUE(HBURL::shared().bookmark(volume, false));
    hb::AccessRegistry::resetForTesting();
    struct Case {
        QString path;
        QString kind;
    };
    const Case cases[] = {
        {home, "Home"},
        {home + "/Pictures", "Pictures"},
        {home + "/Desktop", "Desktop"},
        {home + "/Work/Pictures", "Other"},
        {env.root() + "/Pictures", "Other"},
        {home + "/Projects/2019", "/Users/Home/Projects/2019"},
        {home + "ice/x", home + "ice/x"},
        {env.root() + "/elsewhere/x", env.root() + "/elsewhere/x"},
        {volume.path(), "Drive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(ViewController::destinationKind(hb::URL::fileURLWithPath(c.path, true)), c.kind);
    }
}

TEST_F(ViewControllerTest, ActivationStartsAFileManagerSourceOnlyWhenNoneIsWaiting)
{
    const QString selected = file("selected");
    installFinderScript(selected);
    controller->show();

    // A waiting source stays as it is.
    receive({file("waiting")});
    const auto waiting = controller->sourceManager();
    post(willBecomeActiveNotification);
    EXPECT_EQ(controller->sourceManager(), waiting);

    // With stopSourceManager the source goes and nothing is read; the flag is spent.
    controller->setStopSourceManager(true);
    post(willBecomeActiveNotification);
    EXPECT_FALSE(controller->sourceManager());
    EXPECT_TRUE(waiting->sourceDead());
    EXPECT_FALSE(controller->stopSourceManager());

    // Without a source the file manager's selection is read and becomes the source.
    post(willBecomeActiveNotification);
    ASSERT_TRUE(controller->sourceManager());
    EXPECT_EQ(controller->dataSource(), DataSource::finder);
    EXPECT_TRUE(controller->isFinderData());
    ASSERT_TRUE(waitUntil([&] { return controller->isDataAvailable(); }));
    EXPECT_EQ(controller->getURLS(), QList<hb::URL>{hb::URL::fileURLWithPath(selected)});
    EXPECT_EQ(firstTile(), QStringLiteral("Choose Folder"));
    EXPECT_EQ(controller->collectionView()->currentDragOperation, 16);

    // Resigning drops it again.
    post(willResignActiveNotification);
    EXPECT_FALSE(controller->sourceManager());
    EXPECT_EQ(firstTile(), QStringLiteral("Add Folder"));
    EXPECT_EQ(controller->collectionView()->currentDragOperation, 0);
}

TEST_F(ViewControllerTest, ServicesInputThatIsAllUnreadableStillShowsTheWindow)
{
    controller->loadViewIfNeeded();  // as the window controller does when it takes the controller
    ASSERT_FALSE(controller->isVisible());
    receive({env.writeFile(QStringLiteral("elsewhere/a"), "a"), env.writeFile(QStringLiteral("elsewhere/b"), "b")});
    EXPECT_TRUE(controller->isVisible());
    ASSERT_TRUE(controller->sourceManager());
    EXPECT_FALSE(controller->isDataAvailable());
    EXPECT_EQ(firstTile(), QStringLiteral("Add Folder"));
    ASSERT_TRUE(waitUntil([&] { return !alerts.empty(); }));
    settle(200);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, QStringLiteral(" No read permission to some selected items "));
}

TEST_F(ViewControllerTest, EachFailureShowsOneAlertWhetherOrNotTheWindowIsShown)
{
    answer = hb::NSAlertSecondButtonReturn;  // "Cancel": the volume grant is a test of its own
    for (int i = 0; i < 2; ++i) {
        controller->show();
        controller->hide();
    }
    const QVariant driveError = QVariant::fromValue(placeholderFrameworkError());
    const QVariant fileError = QVariant::fromValue(hb::Error::fromErrno(EACCES, work + "/a", true));
    post(showAlertNotification, {{errorDataUserInfoKey, driveError}});
    controller->show();
    post(showAlertNotification, {{errorDataUserInfoKey, fileError}});
    post(showAlertNotification, {{errorDataUserInfoKey, QStringLiteral("not an error")}});
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].message, QStringLiteral("Harbrill is not activated for this drive"));
    EXPECT_EQ(alerts[0].informative,
              QStringLiteral("Once activated, you will be able to quickly move or copy files within this drive"));
    EXPECT_EQ(alerts[0].style, hb::AlertStyle::critical);
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Select drive...", "Cancel"}));
    EXPECT_EQ(alerts[1].message, hb::Error::fromErrno(EACCES, work + "/a", true).localizedDescription());

    controller.reset();
    post(showAlertNotification, {{errorDataUserInfoKey, driveError}});
    EXPECT_EQ(alerts.size(), 2u);
}

// "Select drive..." in the drive alert leads to the volume grant; "Cancel" to nothing.
TEST_F(ViewControllerTest, SelectDriveInTheDriveAlertOpensTheVolumeGrant)
{
    const auto volumePrompt = []() -> QWidget* {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->findChild<HBVolumesPermissionController*>())
                return window;
        return nullptr;
    };
    const auto volumePromptShown = [&] { return volumePrompt() != nullptr; };
    controller->show();
    answer = hb::NSAlertSecondButtonReturn;
    post(showAlertNotification, {{errorDataUserInfoKey, QVariant::fromValue(placeholderFrameworkError())}});
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_FALSE(volumePromptShown());

    answer = hb::NSAlertFirstButtonReturn;
    post(showAlertNotification, {{errorDataUserInfoKey, QVariant::fromValue(placeholderFrameworkError())}});
    ASSERT_EQ(alerts.size(), 2u);
    ASSERT_TRUE(volumePromptShown());
    volumePrompt()->hide();  // closes the popover, as a click elsewhere would
}

TEST_F(ViewControllerTest, FoldersFromTheServicesMenuAreAddedOnceAndPublished)
{
    const QString reports = folder("Reports");
    controller->show();
    controller->hide();
    controller->show();
    controller->hide();
    HBExternalServices services;
    auto addToLocation = [&] {
        hb::Pasteboard pasteboard = hb::Pasteboard::withFileURLs({hb::URL::fileURLWithPath(reports, true)});
        hb::ServiceAnswer serviceAnswer;
        services.performService(QStringLiteral("addToLocation"), pasteboard, {}, serviceAnswer);
    };

    addToLocation();
    EXPECT_TRUE(controller->isVisible());
    EXPECT_TRUE(controller->stopSourceManager());
    QStringList shown;
    for (const HBLocationEntry& entry : controller->destinationCollection().dropLocations())
        shown << entry.value(HBLocationEntryKey::path);
    EXPECT_EQ(shown, (QStringList{"", reports}));
    QStringList published;
    for (const QVariant& entry : hb::UserDefaults::suite(locationsSuiteName)->arrayForKey(sharedDataKey))
        published << entry.toMap().value(HBLocationEntryKey::path).toString();
    EXPECT_EQ(published, shown);

    addToLocation();
    ASSERT_TRUE(waitUntil([&] { return !alerts.empty(); }));
    settle(100);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, QStringLiteral("\"Reports \" already present in Harbrill"));
    EXPECT_EQ(controller->destinationCollection().numberOfLocations(), 2);
}

// What the person who asked is told: what was added or taken, and what was not and why; done only when
// every item ended as asked.
TEST_F(ViewControllerTest, EachServiceAnswerSaysWhatBecameOfItsItems)
{
    const QString reports = folder("Reports");
    const QString list = file("list.txt");
    const QString outside = env.makeFolder(QStringLiteral("elsewhere/Outside"));
    const QString outsideFile = env.writeFile(QStringLiteral("elsewhere/b.txt"), "b");
    controller->show();
    HBExternalServices services;
    const auto ask = [&](const QString& message, const QStringList& paths) {
        QList<hb::URL> urls;
        for (const QString& path : paths)
            urls << hb::URL::fileURLWithPath(path);
        hb::Pasteboard pasteboard = hb::Pasteboard::withFileURLs(urls);
        hb::ServiceAnswer serviceAnswer;
        EXPECT_TRUE(services.performService(message, pasteboard, {}, serviceAnswer));
        return serviceAnswer;
    };
    const struct {
        const char* what;
        QString message;
        QStringList paths;
        bool ok;
        QStringList said;
    } cases[] = {
        {"a folder, a file and a missing path",
         "addToLocation",
         {reports, list, work + "/gone"},
         false,
         {"Harbrill added 1 folder.", "Not added, as only folders can be: " + list + ".",
          "Not found: " + work + "/gone."}},
        {"the same folder again",
         "addToLocation",
         {reports},
         true,
         {"Harbrill added no folder.", "Already among Harbrill's folders: " + reports + "."}},
        {"a folder Harbrill may not use",
         "addToLocation",
         {outside},
         false,
         {"Harbrill added no folder.", "Not added, as Harbrill cannot write into them: " + outside + "."}},
        {"a readable file and one outside every grant",
         "moveHarbrill",
         {list, outsideFile},
         false,
         {"Harbrill took 1 of the 2 items for moveHarbrill.", "Left out, as Harbrill cannot read them", outsideFile}},
        {"a readable file", "moveHarbrill", {list}, true, {"Harbrill took 1 item for moveHarbrill."}},
    };
    for (const auto& c : cases) {
        const hb::ServiceAnswer serviceAnswer = ask(c.message, c.paths);
        EXPECT_EQ(serviceAnswer.ok, c.ok) << c.what;
        for (const QString& part : c.said)
            EXPECT_TRUE(serviceAnswer.text.contains(part)) << c.what << ": " << serviceAnswer.text.toStdString();
    }
    EXPECT_EQ(controller->destinationCollection().numberOfLocations(), 2);
    EXPECT_EQ(controller->getURLS(), QList<hb::URL>{hb::URL::fileURLWithPath(list)});
    settle(600);  // the alerts shown beside the answers come within this test
}

TEST_F(ViewControllerTest, TheAddTilesPanelAddsSilentlyAndATilesMenuRemovesItsFolder)
{
    const QString reports = folder("Reports");
    const QString photos = folder("Photos");
    controller->show();
    const auto addToGrid = [](const QStringList& paths) {
        QVariantList urls;
        for (const QString& path : paths)
            urls << QVariant::fromValue(hb::URL::fileURLWithPath(path, true));
        post(addToGridNotification, {{locationAddedUserInfoKey, urls}});
    };
    const auto published = [] {
        QStringList paths;
        for (const QVariant& entry : hb::UserDefaults::suite(locationsSuiteName)->arrayForKey(sharedDataKey))
            paths << entry.toMap().value(HBLocationEntryKey::path).toString();
        return paths;
    };
    addToGrid({reports});
    addToGrid({reports, photos});
    settle(100);
    EXPECT_TRUE(alerts.empty()) << "an already present folder is skipped without a word";
    EXPECT_TRUE(controller->stopSourceManager());
    const QStringList added = published();
    ASSERT_EQ(added.size(), 3);
    EXPECT_EQ(QSet<QString>(added.begin(), added.end()), (QSet<QString>{"", reports, photos}));

    const qsizetype reportsIndex = added.indexOf(reports);
    ASSERT_TRUE(waitUntil([&] { return controller->collectionView()->numberOfItems() == 3; }));
    auto* const addTile = controller->collectionView()->itemAtIndex(0);
    auto* const reportsTile = controller->collectionView()->itemAtIndex(reportsIndex);
    post(removeSelectedNotification, {{collectionviewSelectedUserInfoKey, QVariant::fromValue<QObject*>(addTile)}});
    post(removeSelectedNotification, {{collectionviewSelectedUserInfoKey, QVariant::fromValue<QObject*>(reportsTile)}});
    EXPECT_EQ(published(), (QStringList{"", photos}));
    EXPECT_EQ(controller->destinationCollection().numberOfLocations(), 2);
}

TEST_F(ViewControllerTest, FilesDroppedOnATileBecomeTheSourceInTheModeTheDragAllows)
{
    controller->show();
    const QString a = file("a");
    struct Case {
        std::uint64_t mask;
        std::int64_t operation;
    };
    const Case cases[] = {
        {hb::NSDragOperationCopy, 1},
        {hb::NSDragOperationMove, 16},
        {hb::NSDragOperationCopy | hb::NSDragOperationMove, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        hb::DraggingPasteboard pasteboard;
        pasteboard.writeFileURLs({hb::URL::fileURLWithPath(a)});
        hb::DraggingInfo drop(pasteboard, c.mask, {});
        std::int64_t index = 99;
        auto operation = hb::CollectionViewDropOperation::before;
        EXPECT_EQ(controller->collectionViewValidateDrop(*controller->collectionView(), drop, index, operation),
                  static_cast<std::uint64_t>(c.operation));
        EXPECT_EQ(index, 0) << "past the last tile counts as the first";
        EXPECT_EQ(operation, hb::CollectionViewDropOperation::on);

        // The same drop as the grid passes it on, past its last tile.
        hb::DraggingInfo dropped(pasteboard, c.mask, QPointF(5, 2000));
        EXPECT_EQ(controller->collectionView()->draggingEntered(dropped), static_cast<std::uint64_t>(c.operation));
        EXPECT_TRUE(controller->collectionView()->performDragOperation(dropped));
        EXPECT_EQ(controller->dataSource(), DataSource::pasteBoard);
        EXPECT_EQ(controller->getURLS(), QList<hb::URL>{hb::URL::fileURLWithPath(a)});
        EXPECT_EQ(controller->collectionView()->currentDragOperation, c.operation);
        EXPECT_FALSE(controller->collectionView()->modifierMonitor) << "a drop never installs the Option monitor";
        EXPECT_EQ(firstTile(), QStringLiteral("Choose Folder"));
    }
}

}  // namespace
