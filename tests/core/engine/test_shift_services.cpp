#include "ShiftFixture.h"

#include "CopyFixtures.h"

#include "platform/base/UserDefaults.h"
#include "platform/files/Volumes.h"

#include <QElapsedTimer>
#include <QThread>

#include <sys/stat.h>

namespace {

using Shift = std::shared_ptr<HBFileShiftServices>;

// The identifier of the first operation this process made, taken before any test runs.
std::int64_t firstIdentifier = 0;
class FirstOperation : public ::testing::Environment {
    void SetUp() override
    {
        firstIdentifier = HBFileShiftServices::create({}, hb::URL::fileURLWithPath(QDir::tempPath()), Action::move,
                                                      false, DataSource::finder, nullptr)
                              ->identifier();
    }
};
[[maybe_unused]] auto* const firstOperation = ::testing::AddGlobalTestEnvironment(new FirstOperation);

class ShiftServices : public ShiftFixture {
protected:
    Shift shift(const QStringList& sources, const QString& destination, Action action = Action::move)
    {
        QList<hb::URL> urls;
        for (const QString& source : sources)
            urls << url(source);
        return HBFileShiftServices::create(urls, url(destination), action, false, DataSource::finder, nullptr);
    }
    // Answers the conflict the operation stopped at and runs it again.
    static void answer(const Shift& operation, Instruction instruction, bool applyToAll)
    {
        ASSERT_EQ(state(operation), OperationState::getInstruction);
        operation->setOperationState(OperationState::idle);
        operation->setRule(Rule{instruction, applyToAll});
        run(operation);
    }
};

}  // namespace

TEST_F(ShiftServices, IdentifiersStartAtOneAndAreNeverReused)
{
    EXPECT_EQ(firstIdentifier, 1);
    folder("d");
    const std::int64_t a = shift({}, "d")->identifier();
    const std::int64_t b = shift({}, "d")->identifier();
    EXPECT_GT(a, firstIdentifier);
    EXPECT_EQ(b, a + 1);
}

TEST_F(ShiftServices, GathersSizesAndCountsThroughTheBookmark)
{
    file("src/a", QByteArray(100, 'a'));
    file("src/tree/b", QByteArray(50, 'b'));
    file("src/tree/sub/c", QByteArray(7, 'c'));
    folder("src/tree/empty");
    folder("d");
    const Shift operation = shift({"src/a", "src/tree", "src/missing"}, "d", Action::copy);
    // The request sizes nothing: that is the work item's first step.
    EXPECT_EQ(operation->getProgressData().totalCountOfFiles, 0u);
    EXPECT_EQ(operation->getProgressData().currentDestinationURL, url("d"));
    run(operation);
    const ProgressData progress = operation->getProgressData();
    EXPECT_EQ(progress.totalSizeOfFiles, 157u);
    EXPECT_EQ(progress.totalCountOfFiles, 4u);  // a, b, c, and one for the unreadable item
    EXPECT_EQ(progress.numberOfSource, 3);
    EXPECT_EQ(progress.operationState, OperationState::complete);
    EXPECT_TRUE(operation->spacefeasbility());
}

TEST_F(ShiftServices, SamePlaceComparesWholePathComponents)
{
    struct Case {
        const char* source;
        const char* folder;
        bool refused;
    };
    const Case cases[] = {
        {"/A/x", "/A", true},     {"/A/B", "/A/B", true}, {"/A/B", "/A/B/C/D", true}, {"/A/Doc", "/A/Documents", false},
        {"/A/B", "/A/Bx", false}, {"/A/B", "/C", false},
    };
    for (const Case& c : cases) {
        const hb::URL source = hb::URL::fileURLWithPath(QString::fromLatin1(c.source));
        const hb::URL destination = hb::URL::fileURLWithPath(QString::fromLatin1(c.folder))
                                        .appendingPathComponent(source.lastPathComponent());
        EXPECT_EQ(HBFileShiftServices::isSamePlace(source, destination), c.refused) << c.source << " -> " << c.folder;
    }
}

TEST_F(ShiftServices, MovesIntoASiblingWithALongerNameAndRecordsTheUndo)
{
    file("Doc/report.txt", "r");
    folder("Documents");
    const Shift operation = shift({"Doc"}, "Documents");
    run(operation);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none);
    EXPECT_EQ(tree("Documents"), (QMap<QString, QByteArray>{{"Doc", "/"}, {"Doc/report.txt", "r"}}));
    EXPECT_FALSE(QFile::exists(path("Doc")));
    const UndoInformation undo = operation->undoInformation();
    EXPECT_EQ(undo.sources(), QList<hb::URL>{url("Doc")});
    EXPECT_EQ(undo.destinations(), QList<hb::URL>{url("Documents/Doc")});
    EXPECT_EQ(undo.action, Action::move);
}

TEST_F(ShiftServices, AnEarlierFailureIsReportedAfterALaterSuccess)
{
    file("src/a", "a");
    file("src/b", "b");
    folder("d");
    // The folder into itself fails, the ghost has gone, b succeeds last.
    const Shift operation = shift({"d", "src/ghost", "src/b"}, "d");
    run(operation);
    EXPECT_EQ(state(operation), OperationState::complete);
    const ErrorData error = operation->fileShiftError();
    EXPECT_EQ(error.errorCode, HBError::fileError);
    EXPECT_EQ(error.frameworkError.userInfo.value(hb::NSLocalizedDescriptionKey).toString(), "Cannot move items");
    EXPECT_EQ(error.frameworkError.userInfo.value(hb::NSLocalizedRecoverySuggestionErrorKey).toString(),
              "Source and destination are the same. Please check your destination and try again");
    EXPECT_TRUE(QFile::exists(path("d/b")));
    EXPECT_EQ(operation->undoInformation().destinations(), QList<hb::URL>{url("d/b")});
}

TEST_F(ShiftServices, NothingSucceedingLeavesNoUndoInformation)
{
    folder("d");
    const Shift operation = shift({"ghost1", "ghost2"}, "d");
    run(operation);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::fileError);
    EXPECT_TRUE(operation->undoInformation().items.isEmpty());
}

TEST_F(ShiftServices, KeepBothFindsTheFirstFreeCopyName)
{
    file("d/Report.pdf");
    file("d/Report Copy.pdf");
    folder("d/Photos.2019");
    folder("d/Photos Copy");
    hb::AccessRegistry::grantStanding(work);
    struct Case {
        const char* name;
        std::optional<Instruction> instruction;
        const char* expected;
    };
    const Case cases[] = {
        {"Report.pdf", Instruction::keepBoth, "Report Copy 1.pdf"},
        {"Photos.2019", Instruction::keepBoth, "Photos Copy 1"},
        {"Free.pdf", Instruction::keepBoth, "Free.pdf"},
        {"Report.pdf", Instruction::replace, "Report.pdf"},
        {"Report.pdf", std::nullopt, "Report.pdf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HBFileShiftServices::keepBothURL(url(QStringLiteral("d/") + c.name), c.instruction),
                  url(QStringLiteral("d/") + c.expected))
            << c.name;
}

TEST_F(ShiftServices, KeepBothForAllNamesEveryCopy)
{
    file("a/Report.pdf", "a");
    file("b/Report.pdf", "b");
    folder("a/Photos.2019");
    folder("b/Photos.2019");
    file("d/Report.pdf", "old");
    folder("d/Photos.2019");
    const Shift operation = shift({"a/Report.pdf", "b/Report.pdf", "a/Photos.2019", "b/Photos.2019"}, "d",
                                  Action::copy);
    run(operation);
    answer(operation, Instruction::keepBoth, true);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"Report.pdf", "old"},
                                                    {"Report Copy.pdf", "a"},
                                                    {"Report Copy 1.pdf", "b"},
                                                    {"Photos.2019", "/"},
                                                    {"Photos Copy", "/"},
                                                    {"Photos Copy 1", "/"}}));
}

TEST_F(ShiftServices, AOneItemAnswerResolvesExactlyOneConflict)
{
    for (const char* name : {"x", "y", "z"})
        file(QStringLiteral("src/") + name, "new");
    file("d/x", "old");
    file("d/z", "old");
    const Shift operation = shift({"src/x", "src/y", "src/z"}, "d");
    run(operation);
    EXPECT_EQ(state(operation), OperationState::getInstruction);
    ErrorData conflict = operation->fileShiftError();
    EXPECT_EQ(conflict.errorCode, HBError::fileExists);
    EXPECT_EQ(conflict.file, url("src/x"));
    EXPECT_FALSE(conflict.isDirectory);

    answer(operation, Instruction::replace, false);
    EXPECT_EQ(state(operation), OperationState::getInstruction);
    EXPECT_EQ(operation->fileShiftError().file, url("src/z"));
    EXPECT_EQ(operation->getProgressData().fileShiftRule, std::nullopt);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"x", "new"}, {"y", "new"}, {"z", "old"}}));

    answer(operation, Instruction::keepBoth, false);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"x", "new"}, {"y", "new"}, {"z", "old"}, {"z Copy", "new"}}));
    EXPECT_TRUE(tree("src").isEmpty());
}

TEST_F(ShiftServices, SkipAndMergeLeaveAnExistingFolderUntouched)
{
    struct Case {
        Action action;
        Instruction instruction;
    };
    for (const Case c : {Case{Action::copy, Instruction::skip}, Case{Action::copy, Instruction::merge},
                         Case{Action::move, Instruction::skip}, Case{Action::move, Instruction::merge}}) {
        QDir(path("src")).removeRecursively();
        QDir(path("d")).removeRecursively();
        file("src/Photos/new.jpg", "new");
        file("src/other", "o");
        file("d/Photos/old.jpg", "old");
        const Shift operation = shift({"src/Photos", "src/other"}, "d", c.action);
        run(operation);
        answer(operation, c.instruction, true);
        const int label = static_cast<int>(c.instruction) * 10 + static_cast<int>(c.action);
        EXPECT_EQ(state(operation), OperationState::complete) << label;
        EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"Photos", "/"}, {"Photos/old.jpg", "old"}, {"other", "o"}}))
            << label;
        EXPECT_TRUE(QFile::exists(path("src/Photos/new.jpg"))) << label;
        EXPECT_EQ(operation->undoInformation().destinations(), QList<hb::URL>{url("d/other")}) << label;
    }
}

TEST_F(ShiftServices, ReplaceOnAMoveSwapsTheWholeFolderIn)
{
    file("src/Photos/new.jpg", "new");
    file("d/Photos/old.jpg", "old");
    struct stat before {};
    ASSERT_EQ(::stat(path("src/Photos").toLocal8Bit().constData(), &before), 0);
    const Shift operation = shift({"src/Photos"}, "d");
    run(operation);
    answer(operation, Instruction::replace, true);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"Photos", "/"}, {"Photos/new.jpg", "new"}}));
    EXPECT_TRUE(tree("src").isEmpty());
    struct stat after {};
    ASSERT_EQ(::stat(path("d/Photos").toLocal8Bit().constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // renamed into place, not rebuilt
}

TEST_F(ShiftServices, ReplaceOnACopySwapsTheCompleteCopyIn)
{
    file("src/Photos/new.jpg", "new");
    file("src/notes.txt", "new notes");
    file("d/Photos/old.jpg", "old");
    file("d/notes.txt", "old notes");
    const Shift operation = shift({"src/Photos", "src/notes.txt"}, "d", Action::copy);
    run(operation);
    answer(operation, Instruction::replace, true);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(tree("d"),
              (QMap<QString, QByteArray>{{"Photos", "/"}, {"Photos/new.jpg", "new"}, {"notes.txt", "new notes"}}));
    EXPECT_EQ(tree("src").size(), 3);
}

TEST_F(ShiftServices, CancellingADuringCopyStopsAfterTheCurrentItemWithNothingHalfWritten)
{
    // Large, so the copy is still running when it is cancelled.
    const QString big = file("src/big");
    ASSERT_TRUE(writeSlowToCopy(big, qint64(2) << 30));
    file("src/later", "l");
    file("d/big", "existing");
    const Shift operation = shift({"src/big", "src/later"}, "d", Action::copy);
    operation->setRule(Rule{Instruction::replace, true});
    hb::OperationQueue queue(QStringLiteral("test"), 1);
    auto block = hb::BlockOperation::blockOperationWithBlock([operation] { operation->main(); });
    operation->blockOperation = block;
    for (const char* keyPath : {"isExecuting", "isFinished"})
        block->addObserver(operation.get(), QString::fromLatin1(keyPath),
                           [raw = operation.get()](const QString& key, bool value) { raw->observeValue(key, value); });
    queue.addOperation(block);
    QElapsedTimer clock;
    clock.start();
    while (operation->getProgressData().completedSizeOfFiles == 0 && !block->isFinished() && clock.elapsed() < 20000)
        QThread::usleep(100);
    ASSERT_GT(operation->getProgressData().completedSizeOfFiles, 0u);
    operation->cancelOperation();
    queue.waitUntilAllOperationsAreFinished();
    operation->cleanUp();

    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_TRUE(operation->hasBeenCancelled());
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none);
    // No temporary left, the existing item untouched, "later" never started.
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"big", "existing"}}));
    EXPECT_TRUE(operation->undoInformation().items.isEmpty());
}

TEST_F(ShiftServices, CancellingWhileWaitingCompletesAtOnceAndItDoesNotStartLater)
{
    file("src/a", "new");
    file("src/b", "b");
    file("d/a", "old");
    const Shift operation = shift({"src/a", "src/b"}, "d");
    run(operation);
    operation->setOperationState(OperationState::waitingForInstruction);
    operation->cancelOperation();
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_TRUE(operation->hasBeenCancelled());
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none);

    // Even when it is queued once more it shifts nothing.
    operation->setOperationState(OperationState::idle);
    operation->cancelOperation();
    run(operation);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "old"}}));

    // Stopped while queued behind others: its work item may run after the manager has already let go
    // of it (observers gone), and must shift nothing then either.
    const Shift queued = shift({"src/b"}, "d");
    queued->cancelOperation();
    queued->main();
    EXPECT_EQ(state(queued), OperationState::complete);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "old"}}));
    EXPECT_TRUE(QFile::exists(path("src/b")));
}

TEST_F(ShiftServices, AMoveToAnotherVolumeIsCarriedOutAsACopy)
{
    QTemporaryDir other(QStringLiteral("/dev/shm/harbrill-test-XXXXXX"));
    ASSERT_TRUE(other.isValid());
    grantThroughBookmark(other.path());
    file("src/a", "a");
    file("src/b", "b");
    const Shift operation = HBFileShiftServices::create({url("src/a"), url("src/b")},
                                                        hb::URL::fileURLWithPath(other.path()), Action::move, false,
                                                        DataSource::finder, nullptr);
    run(operation);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none);
    EXPECT_EQ(treeAt(other.path()), (QMap<QString, QByteArray>{{"a", "a"}, {"b", "b"}}));
    EXPECT_EQ(tree("src").size(), 2);
    const UndoInformation undo = operation->undoInformation();
    EXPECT_EQ(undo.action, Action::copy);
    for (const ShiftedItem& item : undo.items) {
        EXPECT_EQ(item.action, Action::copy);
        EXPECT_TRUE(item.copyFingerprint.has_value());
    }
}

// Two bind mounts of one file system report one device, yet the rename between them fails: the rename's
// error decides, and the move becomes a copy from that item on, with or without an answer in force.
TEST_F(ShiftServices, AMoveBetweenTwoBindMountsOfOneFileSystemIsCarriedOutAsACopy)
{
    if (!runningAsRoot())
        HB_SKIP_WITHOUT_ROOT_SETUP("bind mounts need root");
    file("store/from/a", "a");
    file("store/from/tree/b", "b");
    file("store/to/sub/c", "new c");
    file("store/to/c", "old c");
    const BindMount from(path("store/from"), path("m1"));
    const BindMount to(path("store/to"), path("m2"));
    if (!from.isMounted() || !to.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP("the bind mounts were refused");
    // The first item stays on its mount and meets a conflict; the answer is in force for the others.
    const Shift operation = shift({"m2/sub/c", "m1/a", "m1/tree"}, "m2");
    run(operation);
    answer(operation, Instruction::keepBoth, true);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none)
        << operation->fileShiftError().frameworkError.localizedDescription().toStdString();
    EXPECT_EQ(tree("m2"),
              (QMap<QString, QByteArray>{
                  {"sub", "/"}, {"c", "old c"}, {"c Copy", "new c"}, {"a", "a"}, {"tree", "/"}, {"tree/b", "b"}}));
    EXPECT_EQ(tree("m1").size(), 3) << "copied, as to another volume";
    QList<Action> actions;
    for (const ShiftedItem& item : operation->undoInformation().items)
        actions << item.action;
    EXPECT_EQ(actions, (QList<Action>{Action::move, Action::copy, Action::copy}));

    // Without an answer in force, from the first item on.
    file("store/from/d", "d");
    const Shift plain = shift({"m1/d"}, "m2");
    run(plain);
    EXPECT_EQ(plain->fileShiftError().errorCode, HBError::none);
    EXPECT_EQ(tree("m2").value("d"), "d");
    EXPECT_EQ(plain->undoInformation().action, Action::copy);
}

TEST_F(ShiftServices, ALockedItemTurnsTheRestOfAMoveIntoACopy)
{
    const auto lock = threeSourcesWithTheMiddleLocked();
    if (!lock)
        HB_SKIP_WITHOUT_ROOT_SETUP("locking an item needs root and a file system with the lock flag");
    const Shift operation = shift({"src/first", "src/locked", "src/last"}, "d");
    run(operation);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"first", "1"}, {"locked", "L"}, {"last", "3"}}));
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"locked", "L"}, {"last", "3"}}));
    QList<Action> actions;
    for (const ShiftedItem& item : operation->undoInformation().items)
        actions << item.action;
    EXPECT_EQ(actions, (QList<Action>{Action::move, Action::copy, Action::copy}));
    EXPECT_EQ(operation->undoInformation().action, Action::copy);
}

TEST_F(ShiftServices, AnExactlyFullVolumeHasRoomAndOneByteMoreHasNot)
{
    if (!runningAsRoot())
        HB_SKIP_WITHOUT_ROOT_SETUP("mounting a small volume needs root");
    const TmpfsMount volume(path("volume"), "1m");
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP("tmpfs could not be mounted");
    grantThroughBookmark(path("volume"));
    const std::optional<quint64> free = hb::Volumes::freeSize(path("volume"));
    ASSERT_TRUE(free && *free > 0);
    file("exact", QByteArray(static_cast<qsizetype>(*free), 'e'));
    file("over", QByteArray(static_cast<qsizetype>(*free) + 1, 'o'));
    const Shift exact = shift({"exact"}, "volume", Action::copy);
    run(exact);
    EXPECT_TRUE(exact->spacefeasbility());
    EXPECT_TRUE(QFile::remove(path("volume/exact")));

    const Shift tooLarge = shift({"over"}, "volume", Action::copy);
    run(tooLarge);
    EXPECT_FALSE(tooLarge->spacefeasbility());
    EXPECT_EQ(state(tooLarge), OperationState::complete);
    EXPECT_TRUE(tooLarge->hasBeenCancelled());
    EXPECT_EQ(tooLarge->fileShiftError().errorCode, HBError::none);
    EXPECT_TRUE(tree("volume").isEmpty());
}

TEST_F(ShiftServices, OnlyWhatWillBeCopiedNeedsRoomOnTheDestinationVolume)
{
    if (!runningAsRoot())
        HB_SKIP_WITHOUT_ROOT_SETUP("mounting a small volume needs root");
    const TmpfsMount volume(path("volume"), "1m");
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP("tmpfs could not be mounted");
    grantThroughBookmark(path("volume"));
    const QByteArray big(700 * 1024, 'b');
    struct Case {
        const char* source;
        Action action;
        bool room;
    };
    const Case cases[] = {
        {"volume/src/big", Action::move, true},  // a rename on the same volume
        {"volume/src/tree", Action::move, true},  {"volume/src/big", Action::copy, false},
        {"volume/src/tree", Action::copy, false}, {"elsewhere/big", Action::move, false},  // another volume: copied
    };
    for (const Case& c : cases) {
        QDir(path("volume/src")).removeRecursively();
        QDir(path("volume/d")).removeRecursively();
        QDir(path("elsewhere")).removeRecursively();
        file("volume/src/big", big);
        file("volume/src/tree/big", big);
        folder("volume/d");
        file("elsewhere/big", big);
        const std::string label = std::string(c.source) + (c.action == Action::copy ? " (copy)" : " (move)");

        const Shift operation = shift({c.source}, "volume/d", c.action);
        run(operation);
        EXPECT_EQ(operation->spacefeasbility(), c.room) << label;
        EXPECT_EQ(state(operation), OperationState::complete) << label;
        EXPECT_EQ(operation->fileShiftError().errorCode, HBError::none) << label;
        EXPECT_EQ(QFile::exists(path("volume/d/") + QFileInfo(c.source).fileName()), c.room) << label;
    }
}

// A name that is not valid text reaches the engine with its odd bytes replaced: the item cannot be
// named, and that is what the user hears, not that it does not exist.
TEST_F(ShiftServices, ASourceWhoseNameIsNotTextIsRefusedForItsName)
{
    folder("src");
    folder("d");
    const QByteArray odd = QFile::encodeName(path("src")) + "/caf\xe9.txt";
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    for (const Action action : {Action::move, Action::copy}) {
        const Shift operation = HBFileShiftServices::create({hb::URL::fileURLWithPath(QString::fromUtf8(odd))},
                                                            url("d"), action, false, DataSource::finder, nullptr);
        run(operation);
        const hb::Error error = operation->fileShiftError().frameworkError;
        EXPECT_EQ(error.localizedDescription(), "The name of \u201ccaf\ufffd.txt\u201d cannot be handled");
        EXPECT_EQ(error.localizedRecoverySuggestion(), "Please rename it and try again");
        EXPECT_EQ(::access(odd.constData(), F_OK), 0);
        EXPECT_TRUE(tree("d").isEmpty());
    }
}

TEST_F(ShiftServices, AnItemOutsideEveryBookmarkIsNotShifted)
{
    const QString outside = env.writeFile(QStringLiteral("outside/a"), "a");
    folder("d");
    file("src/b", "b");
    const Shift operation = HBFileShiftServices::create({hb::URL::fileURLWithPath(outside), url("src/b")}, url("d"),
                                                        Action::move, false, DataSource::finder, nullptr);
    run(operation);
    EXPECT_EQ(operation->fileShiftError().errorCode, HBError::noPermissionDestination);
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"b", "b"}}));
}

TEST_F(ShiftServices, AShiftClosesEveryScopeItOpenedAndStoresNoBookmarkPerItem)
{
    folder("d");
    file("d/b", "in the way");  // the second item waits for an answer: sized, one item copied, a pass ended
    // Each from a folder of its own, so each needs a lookup of its own.
    const QStringList items{"s1/a", "s2/b", "s3/c"};
    QList<hb::URL> sources;
    for (const QString& item : items) {
        file(item, item.toUtf8());
        sources << url(item);
    }
    const QStringList folders{"d", "s1", "s2", "s3"};
    for (const QString& folder : folders)
        ASSERT_FALSE(hb::AccessRegistry::hasAccess(path(folder)))
            << "only the bookmark reaches " << folder.toStdString();
    const Shift operation = HBFileShiftServices::create(sources, url("d"), Action::copy, false, DataSource::finder,
                                                        nullptr);
    run(operation);
    ASSERT_EQ(state(operation), OperationState::getInstruction);
    EXPECT_EQ(tree("d").value("a"), "s1/a") << "the first item was copied inside its scopes";
    for (const QString& folder : folders)
        EXPECT_FALSE(hb::AccessRegistry::hasAccess(path(folder))) << "waiting for an answer, " << folder.toStdString();

    answer(operation, Instruction::replace, true);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "s1/a"}, {"b", "s2/b"}, {"c", "s3/c"}}));
    for (const QString& folder : folders)
        EXPECT_FALSE(hb::AccessRegistry::hasAccess(path(folder))) << "after the shift, " << folder.toStdString();
    // Scopes are looked up before any is opened; a lookup inside an open scope would store a
    // bookmark of its own for every item.
    for (const QString& item : items)
        EXPECT_TRUE(hb::UserDefaults::standard().dataForKey(path(item)).isEmpty()) << item.toStdString();
}

TEST_F(ShiftServices, AFolderReachedThroughALinkIsTheSamePlaceAndNothingIsReplaced)
{
    // What the destination link reaches: the source's own folder, or a folder inside the source.
    struct Case {
        const char* source;
        const char* linkTarget;
        Action action;
    };
    const Case cases[] = {
        {"src/a", "src", Action::move},
        {"src/a", "src", Action::copy},
        {"src/tree", "src", Action::move},
        {"src/tree", "src", Action::copy},
        {"src/tree", "src/tree/inner", Action::move},
        {"src/tree", "src/tree/inner", Action::copy},
    };
    for (const Case& c : cases) {
        const std::string label = std::string(c.source) + " into a link to " + c.linkTarget
                                  + (c.action == Action::copy ? " (copy)" : " (move)");
        QDir(path("src")).removeRecursively();
        QFile::remove(path("D"));
        file("src/a", "only copy");
        file("src/tree/inner/b", "only copy");
        ASSERT_TRUE(QFile::link(path(c.linkTarget), path("D")));
        const QMap<QString, QByteArray> before = tree("src");

        const Shift operation = shift({c.source}, "D", c.action);
        run(operation);
        if (state(operation) == OperationState::getInstruction)
            answer(operation, Instruction::replace, true);
        EXPECT_EQ(state(operation), OperationState::complete) << label;
        EXPECT_EQ(operation->fileShiftError().frameworkError.localizedDescription(), "Cannot move items") << label;
        EXPECT_EQ(tree("src"), before) << label;
        EXPECT_TRUE(operation->undoInformation().items.isEmpty()) << label;
    }
}

TEST_F(ShiftServices, ReplaceNeverRemovesTheFolderThatHoldsTheSource)
{
    for (const Action action : {Action::copy, Action::move}) {
        QDir(path("A")).removeRecursively();
        file("A/B/A/data", "precious");
        file("A/other", "o");
        const QMap<QString, QByteArray> before = tree("A");

        const Shift operation = HBFileShiftServices::create({url("A/B/A")}, hb::URL::fileURLWithPath(work), action,
                                                            false, DataSource::finder, nullptr);
        run(operation);
        answer(operation, Instruction::replace, true);
        EXPECT_EQ(state(operation), OperationState::complete);
        EXPECT_EQ(operation->fileShiftError().frameworkError.localizedDescription(),
                  "\u201cA\u201d cannot replace the folder that contains it");
        EXPECT_EQ(tree("A"), before);
        EXPECT_TRUE(operation->undoInformation().items.isEmpty());
    }
}

TEST_F(ShiftServices, TotalsAreKnownBeforeTheFirstItem)
{
    file("src/a", QByteArray(100, 'a'));
    file("src/b", QByteArray(20, 'b'));
    file("d/a", "old");
    const Shift operation = shift({"src/a", "src/b"}, "d");
    run(operation);  // stops at the first item: a is in the way
    ASSERT_EQ(state(operation), OperationState::getInstruction);
    EXPECT_EQ(operation->previousStop(), 0);
    const ProgressData progress = operation->getProgressData();
    EXPECT_EQ(progress.totalSizeOfFiles, 120u);
    EXPECT_EQ(progress.totalCountOfFiles, 2u);
    EXPECT_EQ(progress.numberOfSource, 2);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "old"}}));
}

TEST_F(ShiftServices, TheUndoRecordMadeAlongsideTheItemsEqualsOneMadeAfterwards)
{
    QStringList sources;
    for (int i = 0; i < 150; ++i) {  // more than one run of packed bookmarks
        file(QStringLiteral("src/item%1").arg(i), QByteArray::number(i));
        sources << QStringLiteral("src/item%1").arg(i);
    }
    folder("src/folder");
    sources << "src/folder";
    folder("d");
    const Shift operation = shift(sources, "d");
    run(operation);
    ASSERT_EQ(state(operation), OperationState::complete);
    const std::shared_ptr<UndoData> record = operation->undoRecord();
    ASSERT_NE(record, nullptr);
    const UndoData afterwards(operation->executedURLS(), Action::move);
    EXPECT_EQ(record->lastDestinationURLBookMarks().size(), 151);
    EXPECT_TRUE(record->lastDestinationURLBookMarks() == afterwards.lastDestinationURLBookMarks());
    EXPECT_EQ(record->lastSourceURLs(), afterwards.lastSourceURLs());
    EXPECT_EQ(record->lastDestinationURLs(), afterwards.lastDestinationURLs());
    EXPECT_EQ(record->lastType(), Action::move);
}
