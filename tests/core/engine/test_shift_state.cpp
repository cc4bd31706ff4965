#include "ShiftFixture.h"

#include "CopyFixtures.h"

#include <QElapsedTimer>
#include <QThread>

#include <map>
#include <set>

namespace {

using Shift = std::shared_ptr<HBFileShiftServices>;
using S = OperationState;

const S allStates[] = {S::idle, S::running, S::waitingForInstruction, S::getInstruction, S::cancel, S::complete};

class ShiftState : public ShiftFixture {
protected:
    Shift fresh() const
    {
        return HBFileShiftServices::create({}, hb::URL::fileURLWithPath(work), Action::move, false, DataSource::finder,
                                           nullptr);
    }
    // A new shift brought to `state` by allowed moves alone.
    Shift in(S state) const
    {
        static const std::map<S, std::vector<S>> paths = {
            {S::idle, {}},
            {S::running, {S::running}},
            {S::getInstruction, {S::running, S::getInstruction}},
            {S::waitingForInstruction, {S::running, S::getInstruction, S::waitingForInstruction}},
            {S::cancel, {S::running, S::cancel}},
            {S::complete, {S::running, S::complete}},
        };
        Shift shift = fresh();
        for (S step : paths.at(state))
            EXPECT_TRUE(shift->setOperationState(step)) << int(step);
        return shift;
    }
};

}  // namespace

TEST_F(ShiftState, OnlyTheMovesOfTheTableAreMadeAndCompleteIsFinal)
{
    const std::map<S, std::set<S>> allowed = {
        {S::idle, {S::running, S::complete}},
        {S::running, {S::cancel, S::complete, S::getInstruction}},
        {S::getInstruction, {S::waitingForInstruction, S::idle, S::complete}},
        {S::waitingForInstruction, {S::idle, S::running, S::complete}},
        {S::cancel, {S::complete}},
        {S::complete, {S::complete}},
    };
    for (S from : allStates) {
        for (S to : allStates) {
            const Shift shift = in(from);
            const bool expected = allowed.at(from).count(to) > 0;
            EXPECT_EQ(shift->setOperationState(to), expected) << int(from) << " -> " << int(to);
            EXPECT_EQ(shift->getProgressData().operationState, expected ? to : from) << int(from) << " -> " << int(to);
            // Only entering cancel marks a shift cancelled; nothing takes the mark away.
            EXPECT_EQ(shift->hasBeenCancelled(), from == S::cancel || (expected && to == S::cancel))
                << int(from) << " -> " << int(to);
        }
    }
}

TEST_F(ShiftState, CancellingStopsARunningShiftAndCompletesAnyOtherForGood)
{
    for (S from : allStates) {
        const Shift shift = in(from);
        shift->cancelOperation();
        EXPECT_EQ(shift->getProgressData().operationState, from == S::running ? S::cancel : S::complete) << int(from);
        EXPECT_TRUE(shift->hasBeenCancelled()) << int(from);
        // Neither the manager's answer nor a fresh start brings it back.
        EXPECT_FALSE(shift->setOperationState(S::idle)) << int(from);
        shift->observeValue(QStringLiteral("isExecuting"), true);
        EXPECT_NE(shift->getProgressData().operationState, S::running) << int(from);
    }
}

// The second cancellation completes the shift at once; the work item must still stop after the item
// it is copying, not carry on with the rest.
TEST_F(ShiftState, ASecondCancelDuringACopyStillStopsTheWorkItem)
{
    const QString big = file("src/big");
    ASSERT_TRUE(writeSlowToCopy(big, qint64(2) << 30));
    file("src/later", "l");
    folder("d");
    const Shift operation = HBFileShiftServices::create({url("src/big"), url("src/later")}, url("d"), Action::copy,
                                                        false, DataSource::finder, nullptr);
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
    operation->cancelOperation();
    queue.waitUntilAllOperationsAreFinished();
    operation->cleanUp();

    EXPECT_EQ(operation->getProgressData().operationState, S::complete);
    EXPECT_TRUE(operation->hasBeenCancelled());
    EXPECT_TRUE(tree("d").isEmpty());
    EXPECT_EQ(operation->undoRecord(), nullptr);
}
