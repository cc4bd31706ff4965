#pragma once

#include "core/engine/DataSource.h"
#include "core/engine/HBEngineTypes.h"
#include "core/engine/HBFileShiftDelegate.h"
#include "core/engine/HBOperationKeys.h"
#include "core/engine/HBOperationsProtocol.h"
#include "core/engine/HBProgressDataSource.h"
#include "core/engine/UndoData.h"
#include "platform/base/URL.h"
#include "platform/queues/OperationQueue.h"
#include "platform/queues/UndoManager.h"

#include <QList>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class HBFileShiftServices;
class HBUIDelegate;
namespace hb {
class RepeatingTimer;
}

// The one manager of every move and copy: it queues one shift operation per request, polls them
// twice a second on the main thread, has the progress window shown for large copies and name
// conflicts, hands answers back, keeps the last successful shift for one undo, and reports failures
// ("showAlert") and finished shifts (its delegate). What a person sees goes through its UI delegate.
// Main thread only.
class HBFileShiftOperations : public HBProgressDataSource, public HBFileShiftDelegate {
public:
    // A copy larger than this shows a progress row while it runs.
    static constexpr std::uint64_t progressRowThreshold = 10 * 1024 * 1024;

    HBFileShiftOperations();
    ~HBFileShiftOperations() override;
    HBFileShiftOperations(const HBFileShiftOperations&) = delete;
    HBFileShiftOperations& operator=(const HBFileShiftOperations&) = delete;

    HBOperationsProtocol* delegate = nullptr;
    // The window and alerts; without one nothing is shown and no question is agreed to.
    void setUIDelegate(HBUIDelegate* uiDelegate) { m_uiDelegate = uiDelegate; }

    // Every operation from its start until the tick that handles its completion; not empty means a
    // shift is in progress.
    const std::map<std::int64_t, std::shared_ptr<HBFileShiftServices>>& operations() const { return m_operations; }
    HBOperationKeys& keysDataSource() { return m_keysDataSource; }
    hb::OperationQueue& operationQueue();
    hb::UndoManager& undoManager() { return m_undoManager; }
    bool isPolling() const { return m_timer != nullptr; }

    void shiftFiles(const QList<hb::URL>& sources, const hb::URL& destination, Action type, bool isUndo,
                    DataSource dataSource);
    // One destination per source: puts items back during an undo.
    void shiftFiles(const QList<hb::URL>& sources, const QList<hb::URL>& destinations, Action type, bool isUndo,
                    DataSource dataSource);
    // Queues an operation that is idle or waiting for an answer; any other is left alone.
    void enqueue(const std::shared_ptr<HBFileShiftServices>& operation);
    // One tick of the poll. It runs while an alert is up as well; the alerts it has to show for
    // finished shifts wait until no alert is up.
    void progressCheck();

    // The user's answer on a row. An answer other than stop counts only while the operation waits
    // for one.
    void applyRule(std::int64_t identifier, Instruction instruction, bool applyToAll) override;
    std::int64_t numberOfRows() const override { return m_keysDataSource.count(); }
    std::int64_t identifierAtRow(std::int64_t row) const override { return m_keysDataSource.key(row); }
    std::optional<ProgressData> progress(std::int64_t identifier) const override;
    void showProgressWindow();
    void reloadProgress(const std::optional<QList<std::int64_t>>& rows, bool reloadAll);

    // At start-up: what copies of an earlier run left half written when they were killed is removed,
    // on the queue, within the grants of its folders (a folder out of reach now is tried next time).
    void removeLeftoversOfKilledCopies();

    // Quitting: every shift stops as a Stop would stop it (the item under way is not left half done, the
    // items shifted before stay where they are and are named in the log), and the manager waits for
    // their work items to end. Nothing is registered for undo or reported.
    void stopAllOperations();

    void undoLastShift();
    // Starts the undo shift of the record: on its queue thread, copies still as they were made are
    // deleted and moved items go back.
    void undoAction(const std::shared_ptr<const UndoData>& undoData);
    void showNotEnoughSpaceAlert();
    // Reports the first item a finished shift produced.
    void notifyOperationComplete(const hb::URL& firstDestination);

private:
    void start(const std::shared_ptr<HBFileShiftServices>& operation);
    // The operations' part of a tick: rows, the window, answers due, finished shifts.
    void checkOperations();
    void stopPolling();
    static void logStopped(const HBFileShiftServices& operation);
    // Replace keeps the replaced item in the trash; where no trash can, the user is asked first
    // whether it may be deleted. False when not.
    bool agreesToReplaceWithoutKeeping(HBFileShiftServices& operation, const ProgressData& progress);
    void asyncOnMain(std::function<void()> block);
    // A work item that ends has its outcome handled at once, not at the next tick; ends close together
    // share one check.
    void checkSoon();

    std::map<std::int64_t, std::shared_ptr<HBFileShiftServices>> m_operations;
    HBOperationKeys m_keysDataSource;
    std::unique_ptr<hb::OperationQueue> m_operationQueue;
    std::unique_ptr<hb::RepeatingTimer> m_timer;
    hb::UndoManager m_undoManager;
    HBUIDelegate* m_uiDelegate = nullptr;
    // Calls queued on the main queue do nothing once the manager is gone.
    std::shared_ptr<int> m_life = std::make_shared<int>(0);
    bool m_checking = false;  // inside checkOperations()
    // "showAlert" and the not-enough-space alert of finished shifts, in order, until no alert is up.
    std::deque<std::function<void()>> m_pendingAlerts;
    // Set from queue threads while a check is on its way to the main queue.
    std::shared_ptr<std::atomic<bool>> m_checkPending = std::make_shared<std::atomic<bool>>(false);
};
