#include "tests/core/engine/ShiftFixture.h"

#include "core/engine/HBFileShiftOperations.h"
#include "mainwindow/HBCoreUIDelegate.h"
#include "mainwindow/progress/HBFileConflictCellView.h"
#include "mainwindow/progress/HBProgressTableViewCell.h"
#include "mainwindow/progress/HBProgressWindowController.h"
#include "platform/interface/Alert.h"
#include "platform/interface/WrappingLabel.h"

#include <QPushButton>
#include <QTest>
#include <QThread>

#include <mutex>

namespace {

class Recorder : public HBOperationsProtocol {
public:
    QList<hb::URL> completed;
    void operationComplete(const hb::URL& destination) override { completed << destination; }
    void canUndo(bool) override {}
};

// Shifts whose progress window and alerts are the real ones, as the main window shows them.
class CoreUIDelegateShifts : public ShiftFixture {
protected:
    HBFileShiftOperations manager;
    Recorder recorder;
    HBCoreUIDelegate ui;

    void SetUp() override
    {
        ShiftFixture::SetUp();
        manager.delegate = &recorder;
        manager.setUIDelegate(&ui);
    }
    void TearDown() override
    {
        EXPECT_TRUE(finish());
        hb::Alert::setPresenter(nullptr);
    }

    void start(const QStringList& sources, const QString& destination, Action action = Action::move)
    {
        QList<hb::URL> from;
        for (const QString& source : sources)
            from << url(source);
        manager.shiftFiles(from, url(destination), action, false, DataSource::finder);
    }
    bool finish(int timeoutMs = 20000)
    {
        return waitUntil([&] { return manager.operations().empty(); }, timeoutMs);
    }
    std::shared_ptr<HBFileShiftServices> newest() const { return manager.operations().rbegin()->second; }

    // The texts of the progress rows on screen.
    QStringList progressRows() const
    {
        QStringList texts;
        if (!ui.progressWindowController() || !ui.progressWindowController()->isVisible())
            return texts;
        for (auto* row : ui.progressWindowController()->window()->findChildren<HBProgressTableViewCell*>())
            if (row->isVisible())
                texts << row->status()->text();
        return texts;
    }
    HBFileConflictCellView* visibleConflictRow() const
    {
        if (!ui.progressWindowController() || !ui.progressWindowController()->isVisible())
            return nullptr;
        for (auto* row : ui.progressWindowController()->window()->findChildren<HBFileConflictCellView*>())
            if (row->isVisible())
                return row;
        return nullptr;
    }
    // Holds the operation's monitor once `condition` holds under it: its work item then stops at its
    // next locked step, in the state seen.
    static std::unique_lock<std::recursive_mutex> holdWhen(const std::shared_ptr<HBFileShiftServices>& operation,
                                                           const std::function<bool(const ProgressData&)>& condition)
    {
        for (int i = 0; i < 40000; ++i) {
            std::unique_lock hold(operation->monitor());
            if (condition(operation->getProgressData()))
                return hold;
            hold.unlock();
            QThread::usleep(250);
        }
        ADD_FAILURE() << "the operation never reached the state waited for";
        return {};
    }
    static bool copying(const ProgressData& progress, const QString& name)
    {
        return progress.operationState == OperationState::running && progress.currentFileURL
               && progress.currentFileURL->lastPathComponent() == name;
    }
};

}  // namespace

TEST_F(CoreUIDelegateShifts, EndToEndAConflictAnsweredInTheProgressWindowThenUndone)
{
    file("src/report.txt", "new report");
    file("src/photo.jpg", "photo");
    file("d/report.txt", "old report");
    start({"src/report.txt", "src/photo.jpg"}, "d");

    HBFileConflictCellView* row = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (row = visibleConflictRow()) != nullptr; }));
    EXPECT_TRUE(row->keepBoth()->isVisible());
    EXPECT_TRUE(row->replace()->isVisible());
    EXPECT_FALSE(row->skip()->isVisible());  // a move offers no skip
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"report.txt", "old report"}}));

    QTest::mouseClick(row->keepBoth(), Qt::LeftButton);
    ASSERT_TRUE(finish());
    EXPECT_EQ(ui.progressWindowController(), nullptr);
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{
                             {"report.txt", "old report"}, {"report Copy.txt", "new report"}, {"photo.jpg", "photo"}}));
    EXPECT_TRUE(tree("src").isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.completed, QList<hb::URL>{url("d/report Copy.txt")});

    manager.undoLastShift();
    ASSERT_TRUE(finish());
    EXPECT_EQ(tree("d"), (QMap<QString, QByteArray>{{"report.txt", "old report"}}));
    EXPECT_EQ(tree("src"), (QMap<QString, QByteArray>{{"report.txt", "new report"}, {"photo.jpg", "photo"}}));
}

// While an alert is up (the quit alert, a failure) the progress row follows the item being copied now,
// and goes when its shift ends; a quit asked for afterwards has nothing left to ask about.
TEST_F(CoreUIDelegateShifts, WhileAnAlertIsUpARowFollowsTheCopyAndGoesWhenItEnds)
{
    file("src/huge.bin", QByteArray(6 << 20, 'a'));
    file("src/huge2.bin", QByteArray(6 << 20, 'b'));
    folder("d");
    start({"src/huge.bin", "src/huge2.bin"}, "d", Action::copy);
    const auto copy = newest();
    {
        const auto hold = holdWhen(copy, [](const ProgressData& p) { return copying(p, "huge.bin"); });
        manager.progressCheck();
        EXPECT_EQ(progressRows(), QStringList{"Copying \"huge.bin\" to \"d\""});
    }
    QStringList seenDuringTheAlert;
    bool endedDuringTheAlert = false;
    hb::Alert::setPresenter([&](const hb::Alert&) {
        {
            const auto hold = holdWhen(copy, [](const ProgressData& p) { return copying(p, "huge2.bin"); });
            QTest::qWait(1200);  // a few ticks, while the copy waits for the lock
            seenDuringTheAlert = progressRows();
        }
        endedDuringTheAlert = waitUntil([&] { return manager.operations().empty() && progressRows().isEmpty(); });
        return static_cast<int>(hb::NSAlertFirstButtonReturn);
    });
    hb::Alert alert;
    alert.messageText = "an alert of another part of the program";
    alert.runModal();
    EXPECT_EQ(seenDuringTheAlert, QStringList{"Copying \"huge2.bin\" to \"d\""});
    EXPECT_TRUE(endedDuringTheAlert);
    EXPECT_EQ(tree("d").size(), 2);
}

// The program hid its windows while one shift ended and another ran on: shown again, the window shows
// no row of the shift that ended.
TEST_F(CoreUIDelegateShifts, AWindowShownAgainHasNoRowOfAShiftThatEndedWhileItWasHidden)
{
    file("src/big.bin", QByteArray(11 << 20, 'a'));
    file("other/x", "x");
    folder("d");
    folder("e");
    start({"other/x"}, "e");
    const auto other = newest();
    std::unique_lock holdOther(other->monitor());  // still running when the copy ends
    start({"src/big.bin"}, "d", Action::copy);
    const auto copy = newest();
    {
        const auto hold = holdWhen(copy, [](const ProgressData& p) { return copying(p, "big.bin"); });
        manager.progressCheck();
        ASSERT_EQ(progressRows().size(), 1);
        ui.progressWindowController()->window()->hide();  // as when the program resigns
    }
    ASSERT_TRUE(waitUntil([&] { return !manager.operations().count(copy->identifier()); }));
    ui.progressWindowController()->window()->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(progressRows().isEmpty()) << progressRows().join(", ").toStdString();
    holdOther.unlock();
}
