#include "ShiftFixture.h"

#include "RecordingUIDelegate.h"

#include "core/store/HBConstants.h"
#include "core/engine/HBFileShiftOperations.h"
#include "platform/base/NotificationCenter.h"
#include "platform/files/CopyPartial.h"
#include "platform/files/Volumes.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>
#include <QTest>
#include <QThread>

#include <mutex>
#include <ostream>

#include <sys/resource.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class Recorder : public HBOperationsProtocol {
public:
    QList<hb::URL> completed;
    QList<bool> undoStates;
    void operationComplete(const hb::URL& destination) override { completed << destination; }
    void canUndo(bool canUndo) override { undoStates << canUndo; }
};

class ShiftOperations : public ShiftFixture {
protected:
    HBFileShiftOperations manager;
    Recorder recorder;
    RecordingUIDelegate ui;
    QList<hb::Error> showAlerts;
    QStringList alerts;

    void SetUp() override
    {
        ShiftFixture::SetUp();
        manager.delegate = &recorder;
        manager.setUIDelegate(&ui);
        hb::NotificationCenter::defaultCenter().addObserver(
            this, showAlertNotification, nullptr, [this](const hb::Notification& notification) {
                showAlerts << notification.userInfo.value(errorDataUserInfoKey).value<hb::Error>();
            });
        ui.answerAlert = [this](const HBAlertRequest& alert) {
            alerts << alert.messageText;
            return 0;
        };
    }
    void TearDown() override
    {
        EXPECT_TRUE(finish());
        hb::NotificationCenter::defaultCenter().removeObserver(this);
    }

    QList<hb::URL> urls(const QStringList& relatives) const
    {
        QList<hb::URL> result;
        for (const QString& relative : relatives)
            result << url(relative);
        return result;
    }
    void start(const QStringList& sources, const QString& destination, Action action = Action::move)
    {
        manager.shiftFiles(urls(sources), url(destination), action, false, DataSource::finder);
    }
    // Lets the poll run until every operation has been handled.
    bool finish(int timeoutMs = 20000)
    {
        return waitUntil([&] { return manager.operations().empty(); }, timeoutMs);
    }
    std::shared_ptr<HBFileShiftServices> newest() const { return manager.operations().rbegin()->second; }

    // Waits for the operation's state without running the poll.
    static bool reaches(const std::shared_ptr<HBFileShiftServices>& operation, OperationState wanted)
    {
        for (int i = 0; i < 20000; ++i) {
            if (state(operation) == wanted)
                return true;
            QThread::usleep(500);
        }
        return false;
    }
    // Five copies held at their next locked step fill the queue's five places: until released, what
    // a further request has done is what the main thread did. Made as undo shifts, they leave the
    // undo steps alone.
    std::vector<std::unique_lock<std::recursive_mutex>> fillTheQueue()
    {
        std::vector<std::unique_lock<std::recursive_mutex>> held;
        std::vector<std::shared_ptr<HBFileShiftServices>> busy;
        for (int s = 0; s < 5; ++s) {
            const QString name = QStringLiteral("busy%1_%2").arg(++m_busy).arg(s);
            for (int i = 0; i < 300; ++i)
                file(QStringLiteral("%1/f%2").arg(name).arg(i), "x");
            folder(name + QStringLiteral("_d"));
            manager.shiftFiles(urls({name}), url(name + QStringLiteral("_d")), Action::copy, true, DataSource::finder);
            busy.push_back(newest());
            held.emplace_back(busy.back()->monitor());
        }
        EXPECT_TRUE(waitUntil([&] {
            return std::all_of(busy.begin(), busy.end(),
                               [](const auto& b) { return b->blockOperation->isExecuting(); });
        }));
        return held;
    }
    int m_busy = 0;

    // The items of a trash's files folder (with their contents) and its info files, read as written.
    struct TrashContents {
        QMap<QString, QByteArray> files;
        QMap<QString, QByteArray> infos;
    };
    static TrashContents trashAt(const QString& trash)
    {
        TrashContents contents{treeAt(trash + "/files"), {}};
        for (const QString& name : QDir(trash + "/info").entryList(QDir::Files | QDir::Hidden)) {
            QFile info(trash + "/info/" + name);
            info.open(QIODevice::ReadOnly);
            contents.infos.insert(name, info.readAll());
        }
        return contents;
    }
};

}  // namespace

TEST_F(ShiftOperations, AMoveWithoutConflictsCompletesQuietlyAndCanBeUndone)
{
    file("src/a", "a");
    file("src/b", "b");
    folder("d");
    start({"src/a", "src/b"}, "d");
    bool windowOpened = false;
    ASSERT_TRUE(waitUntil([&] {
        windowOpened |= ui.progressWindow != nullptr;
        return manager.operations().empty();
    }));
    EXPECT_FALSE(windowOpened);
    EXPECT_FALSE(manager.isPolling());
    EXPECT_TRUE(manager.undoManager().canUndo());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.completed, QList<hb::URL>{url("d/a")});
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "a"}, {"b", "b"}}));

    manager.undoLastShift();
    EXPECT_EQ(recorder.undoStates, QList<bool>{false});
    ASSERT_TRUE(finish());
    EXPECT_TRUE(tree("d").isEmpty());
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"a", "a"}, {"b", "b"}}));
    EXPECT_FALSE(manager.undoManager().canUndo());
    EXPECT_TRUE(showAlerts.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.completed, (QList<hb::URL>{url("d/a"), url("src/a")}));  // the undo shift finishes too
}

TEST_F(ShiftOperations, OnlyACopyLargerThanTenMebibytesShowsARow)
{
    struct Case {
        qsizetype size;
        bool row;
    };
    for (const Case c : {Case{10485760, false}, Case{10485761, true}}) {
        QDir(path("src")).removeRecursively();
        QDir(path("d")).removeRecursively();
        file("src/tree/big", QByteArray(c.size, 'x'));
        for (int i = 0; i < 3000; ++i)  // empty files keep the copy running for a while
            file(QStringLiteral("src/tree/empty%1").arg(i), {});
        folder("d");
        start({"src/tree"}, "d", Action::copy);
        const auto operation = newest();
        // A row needs the totals, which the work item knows before its first item.
        ASSERT_TRUE(waitUntil([&] {
            const ProgressData progress = operation->getProgressData();
            return progress.operationState == OperationState::running && progress.currentFileURL.has_value();
        }));
        {
            std::lock_guard hold(operation->monitor());  // the copy cannot finish meanwhile
            ASSERT_EQ(state(operation), OperationState::running);
            manager.progressCheck();
            EXPECT_EQ(manager.keysDataSource().containsKey(operation->identifier()), c.row) << c.size;
            EXPECT_EQ(ui.progressWindow != nullptr, c.row) << c.size;
        }
        ASSERT_TRUE(finish());
        EXPECT_EQ(manager.keysDataSource().count(), 0);
        EXPECT_EQ(ui.progressWindow, nullptr);
    }
}

TEST_F(ShiftOperations, SixShiftsRunFiveAtATime)
{
    for (int s = 0; s < 6; ++s) {
        for (int i = 0; i < 300; ++i)
            file(QStringLiteral("src%1/f%2").arg(s).arg(i), "x");
        folder(QStringLiteral("d%1").arg(s));
    }
    // How many work items had finished when the sixth started, seen from the worker threads.
    std::mutex counting;
    int finishedBeforeTheSixthStarted = -1;
    std::vector<std::unique_lock<std::recursive_mutex>> held;
    std::vector<std::shared_ptr<HBFileShiftServices>> shifts;
    int finished = 0;
    for (int s = 0; s < 6; ++s) {
        start({QStringLiteral("src%1").arg(s)}, QStringLiteral("d%1").arg(s), Action::copy);
        shifts.push_back(newest());
        const bool sixth = s == 5;
        shifts.back()->blockOperation->addObserver(&counting, "isExecuting",
                                                   [&, sixth](const QString&, bool executing) {
                                                       std::lock_guard lock(counting);
                                                       if (executing && sixth)
                                                           finishedBeforeTheSixthStarted = finished;
                                                       if (!executing)
                                                           ++finished;
                                                   });
        held.emplace_back(shifts.back()->monitor());  // each stops at its first locked step
    }
    const auto executing = [&] {
        return std::count_if(shifts.begin(), shifts.end(),
                             [](const auto& s) { return s->blockOperation->isExecuting(); });
    };
    ASSERT_TRUE(waitUntil([&] { return executing() >= 5; }));
    EXPECT_EQ(executing(), 5);
    EXPECT_FALSE(shifts.back()->blockOperation->isExecuting());
    EXPECT_EQ(manager.operationQueue().maxConcurrentOperationCount(), 5);
    EXPECT_EQ(manager.operationQueue().name(), "MoveCopy");
    held.clear();
    ASSERT_TRUE(finish());
    for (int s = 0; s < 6; ++s)
        EXPECT_EQ(tree(QStringLiteral("d%1/src%1").arg(s)).size(), 300) << s;
    std::lock_guard lock(counting);
    EXPECT_GE(finishedBeforeTheSixthStarted, 1);  // it waited for a place
}

TEST_F(ShiftOperations, TwoShiftsFinishingInOneTickFormOneUndoStep)
{
    file("src/a", "a");
    file("src/b", "b");
    folder("d1");
    folder("d2");
    start({"src/a"}, "d1");
    start({"src/b"}, "d2");
    for (const auto& [identifier, operation] : manager.operations())
        ASSERT_TRUE(reaches(operation, OperationState::complete)) << identifier;
    ASSERT_TRUE(finish());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.completed, (QList<hb::URL>{url("d1/a"), url("d2/b")}));

    manager.undoLastShift();
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"a", "a"}, {"b", "b"}}));
    EXPECT_TRUE(tree("d1").isEmpty());
    EXPECT_TRUE(tree("d2").isEmpty());
}

TEST_F(ShiftOperations, UndoFollowsADestinationFolderRenamedSince)
{
    file("src/a", "a");
    file("src/sub/b", "b");
    folder("d");
    start({"src/a", "src/sub"}, "d");
    ASSERT_TRUE(finish());
    ASSERT_TRUE(QDir().rename(path("d"), path("renamed")));

    manager.undoLastShift();
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"a", "a"}, {"sub", "/"}, {"sub/b", "b"}}));
    EXPECT_TRUE(tree("renamed").isEmpty());
    EXPECT_TRUE(showAlerts.isEmpty());
}

TEST_F(ShiftOperations, AShiftFailingOnEveryItemPostsOneShowAlertAndNothingElse)
{
    folder("d");
    start({"ghost1", "ghost2"}, "d");
    ASSERT_TRUE(finish());
    QCoreApplication::processEvents();
    ASSERT_EQ(showAlerts.size(), 1);
    EXPECT_EQ(showAlerts.first().domain, hb::NSCocoaErrorDomain);
    EXPECT_TRUE(recorder.completed.isEmpty());
    EXPECT_FALSE(manager.undoManager().canUndo());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(ShiftOperations, APartlyFailedShiftReportsItsFirstFailureAndCanUndoWhatWasShifted)
{
    file("src/a", "a");
    file("src/b", "b");
    folder("d");
    start({"src/a", "d", "src/b"}, "d");
    ASSERT_TRUE(finish());
    QCoreApplication::processEvents();
    ASSERT_EQ(showAlerts.size(), 1);
    EXPECT_EQ(showAlerts.first().localizedDescription(), "Cannot move items");
    EXPECT_TRUE(recorder.completed.isEmpty());
    EXPECT_EQ(recorder.undoStates, QList<bool>{true}) << "the window is told it can undo";
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "a"}, {"b", "b"}}));

    ASSERT_TRUE(manager.undoManager().canUndo());
    manager.undoLastShift();
    ASSERT_TRUE(finish());
    EXPECT_TRUE(tree("d").isEmpty());
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"a", "a"}, {"b", "b"}}));
}

TEST_F(ShiftOperations, NotEnoughSpaceShiftsNothingAndShowsOnlyItsAlert)
{
    if (!runningAsRoot())
        HB_SKIP_WITHOUT_ROOT_SETUP("mounting a small volume needs root");
    const TmpfsMount volume(path("volume"), "64k");
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP("tmpfs could not be mounted");
    grantThroughBookmark(path("volume"));
    file("src/big", QByteArray(256 * 1024, 'b'));
    start({"src/big"}, "volume", Action::copy);
    ASSERT_TRUE(finish());
    ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts, QStringList{"There is not enough space to move or copy the contents"});
    EXPECT_TRUE(showAlerts.isEmpty());
    EXPECT_TRUE(recorder.completed.isEmpty());
    EXPECT_TRUE(tree("volume").isEmpty());
}

TEST_F(ShiftOperations, UndoOfACopyDeletesOnlyCopiesUnchangedSince)
{
    file("src/a", "a");
    file("src/b", "b");
    file("src/tree/c", "c");
    folder("d");
    start({"src/a", "src/b", "src/tree"}, "d", Action::copy);
    ASSERT_TRUE(finish());
    QFile changed(path("d/b"));
    ASSERT_TRUE(changed.open(QIODevice::Append));
    changed.write("!");
    changed.close();

    manager.undoLastShift();
    ASSERT_TRUE(finish());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.completed.size(), 1);  // deleting copies reports nothing
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"b", "b!"}}));
    EXPECT_EQ(tree("src").size(), 4);
}

TEST_F(ShiftOperations, UndoDeletesAnUnchangedFolderCopyHoldingANameThatIsNotText)
{
    file("src/tree/c", "c");
    const QByteArray odd = QFile::encodeName(path("src/tree")) + "/caf\xe9.txt";  // Latin-1, not UTF-8
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "latin", 5), 5);
    ::close(fd);
    folder("d");
    start({"src/tree"}, "d", Action::copy);
    ASSERT_TRUE(finish());
    ASSERT_EQ(::access((QFile::encodeName(path("d/tree")) + "/caf\xe9.txt").constData(), F_OK), 0);  // byte-exact

    manager.undoLastShift();
    ASSERT_TRUE(finish());
    EXPECT_FALSE(QFileInfo::exists(path("d/tree")));
    EXPECT_EQ(::access(odd.constData(), F_OK), 0);
}

TEST_F(ShiftOperations, UndoOfAMoveThatTurnedIntoACopyMovesBackAndDeletesOnlyTheCopies)
{
    const auto lock = threeSourcesWithTheMiddleLocked();
    if (!lock)
        HB_SKIP_WITHOUT_ROOT_SETUP("locking an item needs root and a file system with the lock flag");
    start({"src/first", "src/locked", "src/last"}, "d");
    ASSERT_TRUE(finish());
    ASSERT_EQ(tree("src"), (QMap<QString, QByteArray>{{"locked", "L"}, {"last", "3"}}));

    manager.undoLastShift();
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"first", "1"}, {"locked", "L"}, {"last", "3"}}));
    EXPECT_TRUE(tree("d").isEmpty());
}

TEST_F(ShiftOperations, StopAtAConflictEndsTheShiftWithoutUndoOrReport)
{
    file("src/a", "new");
    file("src/b", "b");
    file("d/a", "old");
    start({"src/a", "src/b"}, "d");
    const auto operation = newest();
    ASSERT_TRUE(waitUntil([&] { return state(operation) == OperationState::waitingForInstruction; }));
    EXPECT_TRUE(manager.keysDataSource().containsKey(operation->identifier()));

    manager.applyRule(operation->identifier(), Instruction::stop, true);
    EXPECT_EQ(state(operation), OperationState::complete);
    EXPECT_EQ(manager.keysDataSource().count(), 0);
    ASSERT_TRUE(finish());
    QCoreApplication::processEvents();
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "old"}}));
    EXPECT_EQ(tree("src").size(), 2);
    EXPECT_FALSE(manager.undoManager().canUndo());
    EXPECT_TRUE(recorder.completed.isEmpty());
    EXPECT_TRUE(showAlerts.isEmpty());
}

TEST_F(ShiftOperations, AnAnswerOnARowNoLongerWaitingIsIgnored)
{
    file("src/a", "new");
    file("src/b", "b");
    file("d/a", "old");
    start({"src/a", "src/b"}, "d", Action::copy);
    const auto operation = newest();
    ASSERT_TRUE(waitUntil([&] { return state(operation) == OperationState::waitingForInstruction; }));

    manager.applyRule(operation->identifier(), Instruction::skip, false);
    manager.applyRule(operation->identifier(), Instruction::keepBoth, true);  // the same row, pressed again
    EXPECT_LE(manager.operationQueue().operationCount(), 1);
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"a", "old"}, {"b", "b"}}));
}

TEST_F(ShiftOperations, ARequestAndItsUndoLeaveEveryFileStepToTheQueue)
{
    for (int i = 0; i < 200; ++i)
        file(QStringLiteral("src/tree/f%1").arg(i), "x");
    file("src/a", "aa");
    folder("d");
    const auto expected = tree("src");
    {
        const auto held = fillTheQueue();
        start({"src/tree", "src/a"}, "d");
        const auto shift = newest();
        QCoreApplication::processEvents();  // the main loop turns meanwhile
        EXPECT_EQ(state(shift), OperationState::idle);
        EXPECT_EQ(shift->getProgressData().totalCountOfFiles, 0u);  // not sized here
        EXPECT_EQ(tree("src"), expected);
    }
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("d"), expected);
    ASSERT_TRUE(manager.undoManager().canUndo());
    {
        const auto held = fillTheQueue();
        manager.undoLastShift();
        QCoreApplication::processEvents();
        EXPECT_EQ(state(newest()), OperationState::idle);
        EXPECT_EQ(tree("d"), expected);  // nothing followed, deleted or moved back here
    }
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("src"), expected);
    EXPECT_TRUE(tree("d").isEmpty());
    EXPECT_TRUE(showAlerts.isEmpty());
}

// The stop lands while the sources are sized, or at the latest a few items in: no item is started
// after it, and a stopped shift leaves no undo and no report.
TEST_F(ShiftOperations, AStopWhileTheSourcesAreSizedEndsTheShift)
{
    constexpr int count = 2000;
    QStringList sources;
    for (int i = 0; i < count; ++i) {
        file(QStringLiteral("src/f%1").arg(i), "x");
        sources << QStringLiteral("src/f%1").arg(i);
    }
    folder("d");
    start(sources, "d");
    const auto shift = newest();
    qsizetype movedAtStop = 0;
    {
        std::lock_guard hold(shift->monitor());  // the work item waits at its next locked step
        movedAtStop = tree("d").size();
        shift->cancelOperation();
    }
    ASSERT_TRUE(finish());
    QCoreApplication::processEvents();
    EXPECT_TRUE(shift->hasBeenCancelled());
    EXPECT_LE(tree("d").size(), movedAtStop + 1);  // at most the item under way
    EXPECT_EQ(tree("src").size() + tree("d").size(), count);
    EXPECT_FALSE(manager.undoManager().canUndo());
    EXPECT_TRUE(recorder.completed.isEmpty());
    EXPECT_TRUE(showAlerts.isEmpty());
}

// An alert shown for "showAlert" runs the event loop inside the tick; a shift that ends meanwhile is
// handled by a later tick, once, and the tick under way is not disturbed.
TEST_F(ShiftOperations, AShiftEndingWhileAFailureIsShownIsHandledOnceAfterwards)
{
    for (int i = 0; i < 300; ++i)
        file(QStringLiteral("src/tree/f%1").arg(i), "x");
    folder("d");
    start({"src/tree"}, "d", Action::copy);
    const auto copy = newest();
    std::unique_lock hold(copy->monitor());  // it cannot end before the failure is shown
    start({"ghost"}, "d");
    int alertsShown = 0;
    hb::NotificationCenter::defaultCenter().addObserver(
        &alertsShown, showAlertNotification, nullptr, [&](const hb::Notification&) {
            ++alertsShown;
            if (hold.owns_lock())
                hold.unlock();
            EXPECT_TRUE(waitUntil([&] { return !copy->blockOperation || copy->blockOperation->isFinished(); }));
            QCoreApplication::processEvents();
        });
    ASSERT_TRUE(finish());
    hb::NotificationCenter::defaultCenter().removeObserver(&alertsShown);
    QCoreApplication::processEvents();
    EXPECT_EQ(alertsShown, 1);
    EXPECT_EQ(recorder.completed, QList<hb::URL>{url("d/tree")});
    EXPECT_EQ(tree("d/tree").size(), 300);
}

// The soft limit of open files for the life of the test, put back afterwards.
class SoftFileLimit {
public:
    explicit SoftFileLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min(soft, m_saved.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~SoftFileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved{};
};

// Items from far more folders than the process may hold open: each folder is held only while it is
// worked in, so every item is shifted and every one comes back.
TEST_F(ShiftOperations, ItemsFromThousandsOfFoldersShiftAndComeBackUnderASmallFileLimit)
{
    constexpr int count = 5000;
    QStringList sources;
    for (int i = 0; i < count; ++i) {
        file(QStringLiteral("src/f%1/item%1").arg(i), QByteArray::number(i));
        sources << QStringLiteral("src/f%1/item%1").arg(i);
    }
    folder("d");
    const auto before = tree("src");
    const SoftFileLimit limit(256);

    start(sources, "d");
    ASSERT_TRUE(finish(120000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(showAlerts.isEmpty()) << showAlerts.value(0).localizedDescription().toStdString();
    EXPECT_EQ(tree("d").size(), count);
    ASSERT_TRUE(manager.undoManager().canUndo());

    manager.undoLastShift();
    ASSERT_TRUE(finish(120000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(showAlerts.isEmpty()) << showAlerts.value(0).localizedDescription().toStdString();
    EXPECT_TRUE(tree("d").isEmpty());
    EXPECT_EQ(tree("src"), before);
}

// Quitting stops a copy in the middle of a tree and a shift waiting at a conflict: what was shifted
// stays and is named in the log, nothing half-copied is left, and nothing more happens afterwards.
TEST_F(ShiftOperations, QuittingStopsEveryShiftAndNamesWhatWasShiftedInTheLog)
{
    file("src/a", "a");
    for (int i = 0; i < 3000; ++i)
        file(QStringLiteral("src/tree/f%1").arg(i), "x");
    folder("d");
    file("src/b", "new");
    file("e/b", "old");
    start({"src/a", "src/tree"}, "d", Action::copy);
    const auto copy = newest();
    start({"src/b"}, "e");
    const auto waiting = newest();
    ASSERT_TRUE(waitUntil([&] { return state(waiting) == OperationState::waitingForInstruction; }));
    ASSERT_TRUE(reaches(copy, OperationState::running));
    ASSERT_TRUE(waitUntil([&] { return copy->getProgressData().completedCountOfFiles > 10; }));

    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
    manager.stopAllOperations();
    qInstallMessageHandler(previous);

    EXPECT_TRUE(manager.operations().empty());
    EXPECT_FALSE(manager.isPolling());
    EXPECT_EQ(ui.progressWindow, nullptr);
    EXPECT_EQ(QDir(path("d")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"a"});
    EXPECT_EQ(tree("e"), (QMap<QString, QByteArray>{{"b", "old"}}));
    const QString log = logged.join(u'\n');
    EXPECT_TRUE(log.contains("1 of 2 items had been shifted")) << log.toStdString();
    EXPECT_TRUE(log.contains(path("src/a") + " -> " + path("d/a"))) << log.toStdString();
    EXPECT_TRUE(log.contains("before it shifted anything")) << log.toStdString();
    QTest::qWait(600);
    EXPECT_FALSE(manager.undoManager().canUndo());
    EXPECT_TRUE(recorder.completed.isEmpty());
    EXPECT_TRUE(showAlerts.isEmpty());
}

// A copy killed halfway leaves its partial items; the next start removes them, in folders it can reach,
// and nothing else: not what a running copy writes, not a user's file of such a name.
TEST_F(ShiftOperations, AtStartUpWhatKilledCopiesLeftIsRemoved)
{
    folder("d");
    const QString outside = env.makeFolder("outside");  // no bookmark covers it
    const QString mine = file("d/.harbrill-partial-1-00000000-mine", "the user's own");
    const auto partials = [&](const QString& folderPath) {
        return QDir(folderPath).entryList({".harbrill-partial-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
    };
    QProcess copying;
    copying.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HB_PARTIAL_FOLDERS", path("d") + ":" + outside);
    copying.setProcessEnvironment(environment);
    copying.start(QCoreApplication::applicationFilePath(),
                  {"--gtest_also_run_disabled_tests", "--gtest_filter=LeftoverHelper.DISABLED_CopiesUntilKilled"});
    ASSERT_TRUE(waitUntil(
        [&] {
            copying.waitForReadyRead(50);
            return copying.peek(1 << 16).contains("ready");
        },
        30000));
    ASSERT_EQ(partials(path("d")).size(), 3);  // a file, a folder and the user's

    manager.removeLeftoversOfKilledCopies();  // while the copy runs: nothing of it is a leftover
    manager.operationQueue().waitUntilAllOperationsAreFinished();
    EXPECT_EQ(partials(path("d")).size(), 3);

    copying.kill();
    ASSERT_TRUE(copying.waitForFinished(5000));
    manager.removeLeftoversOfKilledCopies();
    manager.operationQueue().waitUntilAllOperationsAreFinished();
    EXPECT_EQ(partials(path("d")), QStringList{".harbrill-partial-1-00000000-mine"});
    EXPECT_EQ(tree("d").value(".harbrill-partial-1-00000000-mine"), "the user's own");
    EXPECT_EQ(partials(outside).size(), 1) << "out of reach: left for a later start";
    EXPECT_EQ(hb::copying::leftoversOfKilledCopies().size(), 1u);
}

// Run by the test above in a process of its own: a copy writing a file and a folder into the first
// folder it is given and a file into the second, until it is killed.
TEST(LeftoverHelper, DISABLED_CopiesUntilKilled)
{
    std::vector<std::unique_ptr<hb::copying::PartialRecord>> records;
    const QStringList folders = qEnvironmentVariable("HB_PARTIAL_FOLDERS").split(':');
    for (qsizetype f = 0; f < folders.size(); ++f) {
        const int folder = ::open(QFile::encodeName(folders[f]).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(folder, 0);
        for (const char* name : f == 0 ? std::vector<const char*>{"big.bin", "tree"} : std::vector<const char*>{"x"}) {
            const std::string partial = hb::copying::partialName(name);
            records.push_back(std::make_unique<hb::copying::PartialRecord>(folder, partial));
            if (std::string(name) == "tree") {
                ASSERT_EQ(::mkdirat(folder, partial.c_str(), 0755), 0);
                const int tree = ::openat(folder, partial.c_str(), O_RDONLY | O_DIRECTORY);
                for (int i = 0; i < 50; ++i)
                    ::close(::openat(tree, std::to_string(i).c_str(), O_CREAT | O_WRONLY, 0644));
                ::close(tree);
            } else {
                const int fd = ::openat(folder, partial.c_str(), O_CREAT | O_WRONLY, 0644);
                ASSERT_EQ(::write(fd, "half", 4), 4);
                ::close(fd);
            }
        }
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

namespace {

// An info file in the freedesktop.org form for the item that was at `path` (as it is spelled there).
bool isInfoFor(const QByteArray& info, const QString& path)
{
    static const QRegularExpression form(
        "^\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$");
    const QRegularExpressionMatch match = form.match(QString::fromUtf8(info));
    return match.hasMatch() && QUrl::fromPercentEncoding(match.captured(1).toUtf8()) == path
           && match.captured(1).toUtf8() == QUrl::toPercentEncoding(path, "/");
}

}  // namespace

// Replace keeps what it replaces in the user's trash, as a file manager would put it there, and Undo
// puts it back, byte for byte: a file and a folder replaced by a move, a file replaced by a copy.
TEST_F(ShiftOperations, ReplaceKeepsTheReplacedItemInTheTrashAndUndoPutsItBack)
{
    const QString trash = env.root() + "/data/Trash";
    struct Case {
        const char* name;
        Action action;
        QString item;  // under src and d
        QMap<QString, QByteArray> source;
        QMap<QString, QByteArray> existing;
    };
    const Case cases[] = {
        {"a file replaced by a move", Action::move, "report #1.txt", {{"", "new report"}}, {{"", "old report"}}},
        {"a folder replaced by a move",
         Action::move,
         "Photos",
         {{"/new.jpg", "new"}},
         {{"/old.jpg", "old"}, {"/sub/deep.jpg", "deep"}}},
        {"a file replaced by a copy", Action::copy, "notes.txt", {{"", "new notes"}}, {{"", "old notes"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path("src")).removeRecursively();
        QDir(path("d")).removeRecursively();
        for (auto it = c.source.cbegin(); it != c.source.cend(); ++it)
            file("src/" + c.item + it.key(), it.value());
        for (auto it = c.existing.cbegin(); it != c.existing.cend(); ++it)
            file("d/" + c.item + it.key(), it.value());
        file("src/other", "other");
        const auto sourceBefore = tree("src");
        const auto existingBefore = tree("d");

        start({"src/" + c.item, "src/other"}, "d", c.action);
        const auto shift = newest();
        ASSERT_TRUE(waitUntil([&] { return state(shift) == OperationState::waitingForInstruction; }));
        manager.applyRule(shift->identifier(), Instruction::replace, true);
        ASSERT_TRUE(finish());
        EXPECT_TRUE(alerts.isEmpty()) << "a replaced item that can be kept needs no question";
        EXPECT_EQ(tree("d").value(c.item + c.source.firstKey()), c.source.first());

        const TrashContents kept = trashAt(trash);
        EXPECT_EQ(kept.files, existingBefore);
        ASSERT_EQ(kept.infos.size(), 1);
        EXPECT_EQ(kept.infos.firstKey(), c.item + ".trashinfo");
        EXPECT_TRUE(isInfoFor(kept.infos.first(), path("d/" + c.item))) << kept.infos.first().toStdString();

        manager.undoLastShift();
        ASSERT_TRUE(finish());
        EXPECT_EQ(tree("d"), existingBefore);
        EXPECT_EQ(tree("src"), sourceBefore);
        EXPECT_TRUE(trashAt(trash).files.isEmpty());
        EXPECT_TRUE(trashAt(trash).infos.isEmpty());
    }
    EXPECT_TRUE(showAlerts.isEmpty());
}

// On a volume of its own the trash is made at the volume's top, and info files name paths from there.
// Where no trash can be (a file is in its way), Replace says so first: cancelled, nothing changes and
// the question stays; agreed to, the item is deleted as the alert said.
TEST_F(ShiftOperations, ReplaceOnAVolumeWhoseTrashCannotKeepItAsksFirst)
{
    if (!runningAsRoot())
        HB_SKIP_WITHOUT_ROOT_SETUP("mounting a volume needs root");
    const TmpfsMount keeps(path("keeps"), "4m");
    const TmpfsMount cannot(path("cannot"), "4m");
    if (!keeps.isMounted() || !cannot.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP("tmpfs could not be mounted");
    file("keeps/sub/a", "old a");
    file("cannot/b", "old b");
    file("cannot/.Trash-0", "not a folder");
    file("src/a", "new a");
    file("src/b", "new b");

    start({"src/a"}, "keeps/sub");
    auto shift = newest();
    ASSERT_TRUE(waitUntil([&] { return state(shift) == OperationState::waitingForInstruction; }));
    manager.applyRule(shift->identifier(), Instruction::replace, false);
    ASSERT_TRUE(finish());
    const TrashContents onVolume = trashAt(path("keeps/.Trash-0"));
    EXPECT_EQ(onVolume.files, (QMap<QString, QByteArray>{{"a", "old a"}}));
    ASSERT_EQ(onVolume.infos.size(), 1);
    EXPECT_TRUE(isInfoFor(onVolume.infos.first(), "sub/a")) << onVolume.infos.first().toStdString();

    start({"src/b"}, "cannot");
    shift = newest();
    ASSERT_TRUE(waitUntil([&] { return state(shift) == OperationState::waitingForInstruction; }));
    manager.applyRule(shift->identifier(), Instruction::replace, false);  // the alert's Cancel
    ASSERT_EQ(alerts, QStringList{"\u201cb\u201d cannot be kept if it is replaced"});
    EXPECT_EQ(state(shift), OperationState::waitingForInstruction);
    EXPECT_EQ(tree("cannot").value("b"), "old b");

    ui.answerAlert = [this](const HBAlertRequest& alert) {
        alerts << alert.messageText;
        return 1;
    };
    manager.applyRule(shift->identifier(), Instruction::replace, false);
    ASSERT_TRUE(finish());
    EXPECT_EQ(alerts.size(), 2);
    EXPECT_EQ(tree("cannot").value("b"), "new b");
    EXPECT_TRUE(showAlerts.isEmpty());
}
