#include "core/engine/HBFileShiftOperations.h"

#include "core/engine/HBFileShiftServices.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "core/ui/HBUIDelegate.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/CopyPartial.h"
#include "platform/files/Trash.h"
#include "platform/interface/RepeatingTimer.h"

#include <QVariant>

#include <chrono>

namespace {
const QString isExecutingKeyPath = QStringLiteral("isExecuting");
const QString isFinishedKeyPath = QStringLiteral("isFinished");
}  // namespace

HBFileShiftOperations::HBFileShiftOperations()
{
    m_undoManager.setLevelsOfUndo(1);
}

HBFileShiftOperations::~HBFileShiftOperations() = default;

hb::OperationQueue& HBFileShiftOperations::operationQueue()
{
    if (!m_operationQueue)
        m_operationQueue = std::make_unique<hb::OperationQueue>(QStringLiteral("MoveCopy"), 5);
    return *m_operationQueue;
}

void HBFileShiftOperations::asyncOnMain(std::function<void()> block)
{
    hb::MainQueue::async([life = std::weak_ptr<int>(m_life), block = std::move(block)] {
        if (life.lock())
            block();
    });
}

void HBFileShiftOperations::shiftFiles(const QList<hb::URL>& sources, const hb::URL& destination, Action type,
                                       bool isUndo, DataSource dataSource)
{
    start(HBFileShiftServices::create(sources, destination, type, isUndo, dataSource, this));
}

void HBFileShiftOperations::shiftFiles(const QList<hb::URL>& sources, const QList<hb::URL>& destinations, Action type,
                                       bool isUndo, DataSource dataSource)
{
    start(HBFileShiftServices::create(sources, destinations, type, isUndo, dataSource, this));
}

void HBFileShiftOperations::start(const std::shared_ptr<HBFileShiftServices>& operation)
{
    if (!operation)
        return;
    m_operations[operation->identifier()] = operation;
    if (m_operations.size() == 1 && !m_timer) {
        // It ticks while an alert is up too: the rows follow what is copied and go when their shift ends.
        m_timer = std::make_unique<hb::RepeatingTimer>(
            std::chrono::milliseconds(500), [this] { progressCheck(); }, false);
        m_timer->start();
    }
    enqueue(operation);
}

void HBFileShiftOperations::enqueue(const std::shared_ptr<HBFileShiftServices>& operation)
{
    const OperationState state = operation->getProgressData().operationState;
    if (state != OperationState::idle && state != OperationState::waitingForInstruction)
        return;
    auto block = hb::BlockOperation::blockOperationWithBlock([operation] { operation->main(); });
    operation->blockOperation = block;
    const std::weak_ptr<HBFileShiftServices> observer = operation;
    for (const QString& keyPath : {isExecutingKeyPath, isFinishedKeyPath}) {
        block->addObserver(operation.get(), keyPath, [observer](const QString& changed, bool newValue) {
            if (const auto shift = observer.lock())
                shift->observeValue(changed, newValue);
        });
    }
    // The manager's own observation: queue threads ask the main queue for a check.
    block->addObserver(
        this, isFinishedKeyPath,
        [life = std::weak_ptr<int>(m_life), pending = m_checkPending, this](const QString&, bool finished) {
            if (!finished || pending->exchange(true))
                return;
            hb::MainQueue::async([life, pending, this] {
                pending->store(false);
                if (life.lock())
                    checkSoon();
            });
        });
    operationQueue().addOperation(block);
}

void HBFileShiftOperations::checkSoon()
{
    // Not inside a tick: the next tick of the timer handles it then.
    if (m_timer && !m_checking)
        progressCheck();
}

void HBFileShiftOperations::progressCheck()
{
    checkOperations();
    // Alerts wait until no other alert is up (the quit alert among them); ticks go on meanwhile, also
    // while these are shown.
    while (!m_pendingAlerts.empty() && !(m_uiDelegate && m_uiDelegate->isShowingAlert())) {
        const std::function<void()> alert = std::move(m_pendingAlerts.front());
        m_pendingAlerts.pop_front();
        alert();
    }
    if (m_operations.empty() && m_pendingAlerts.empty())
        stopPolling();
}

void HBFileShiftOperations::stopPolling()
{
    if (!m_timer)
        return;
    // Often inside one of its own ticks, maybe a nested one: it goes once no tick of it runs.
    m_timer->invalidate();
    m_timer.release()->deleteLater();
}

void HBFileShiftOperations::checkOperations()
{
    struct Checking {
        bool& flag;
        explicit Checking(bool& checkingFlag) : flag(checkingFlag) { flag = true; }
        ~Checking() { flag = false; }
    } checking(m_checking);
    std::vector<std::int64_t> finished;
    bool reloadAll = false;
    std::optional<QList<std::int64_t>> rows;
    const auto refreshRow = [&](std::int64_t identifier) {
        if (const std::optional<std::int64_t> row = m_keysDataSource.indexOfKey(identifier)) {
            if (!rows)
                rows.emplace();
            rows->append(*row);
        }
    };

    for (const auto& [identifier, operation] : m_operations) {
        const ProgressData progress = operation->getProgressData();
        switch (progress.operationState) {
        case OperationState::idle:
        case OperationState::cancel:
            break;
        case OperationState::running:
            if (progress.fileAction == Action::copy && progress.totalSizeOfFiles > progressRowThreshold) {
                if (!m_keysDataSource.containsKey(identifier)) {
                    m_keysDataSource.insertKey(identifier);
                    showProgressWindow();
                    reloadAll = true;
                } else {
                    refreshRow(identifier);
                }
            }
            break;
        case OperationState::getInstruction:
        case OperationState::waitingForInstruction: {
            operation->cleanUp();
            if (m_uiDelegate && !m_uiDelegate->isProgressWindowVisible())
                showProgressWindow();
            std::lock_guard lock(operation->monitor());
            if (operation->getProgressData().operationState == OperationState::getInstruction) {
                operation->setOperationState(OperationState::waitingForInstruction);
                if (!m_keysDataSource.containsKey(identifier)) {
                    m_keysDataSource.insertKey(identifier);
                    reloadAll = true;
                } else {
                    refreshRow(identifier);
                }
            }
            break;
        }
        case OperationState::complete: {
            const ErrorData error = operation->fileShiftError();
            const bool cancelled = operation->hasBeenCancelled();
            // The record was made on the queue thread. A failed item does not cost the undo of the
            // items shifted before and after it.
            const std::shared_ptr<const UndoData> undoData = operation->undoRecord();
            const bool undoable = undoData && !cancelled && !operation->isUndoOperation();
            if (undoable)
                m_undoManager.registerUndo(this, [this, undoData] { undoAction(undoData); });
            if (error.errorCode != HBError::none) {
                m_pendingAlerts.push_back([frameworkError = error.frameworkError] {
                    hb::NotificationCenter::defaultCenter().post(
                        showAlertNotification, nullptr, {{errorDataUserInfoKey, QVariant::fromValue(frameworkError)}});
                });
                // No completion is reported for a failure, but what was shifted can be undone.
                if (undoable)
                    asyncOnMain([this] {
                        if (delegate)
                            delegate->canUndo(m_undoManager.canUndo());
                    });
            } else {
                if (!operation->spacefeasbility())
                    m_pendingAlerts.push_back([this] { showNotEnoughSpaceAlert(); });
                if (const std::optional<hb::URL> first = operation->firstExecutedDestination(); first && !cancelled)
                    asyncOnMain([this, first = *first] { notifyOperationComplete(first); });
            }
            finished.push_back(identifier);
            m_keysDataSource.removeKey(identifier);
            operation->cleanUp();
            reloadAll = true;
            break;
        }
        }
    }

    reloadProgress(rows, reloadAll);
    for (std::int64_t identifier : finished)
        m_operations.erase(identifier);
    if (m_operations.empty() && m_uiDelegate)
        m_uiDelegate->closeProgressWindow();
}

void HBFileShiftOperations::applyRule(std::int64_t identifier, Instruction instruction, bool applyToAll)
{
    const auto found = m_operations.find(identifier);
    if (found == m_operations.end())
        return;
    const std::shared_ptr<HBFileShiftServices> operation = found->second;
    const ProgressData progress = operation->getProgressData();

    if (instruction == Instruction::stop) {
        operation->cancelOperation();
        operation->setRule(Rule{instruction, applyToAll});
    } else {
        // A row can still show its buttons after its answer was taken: the operation runs again
        // and must not be queued twice.
        if (progress.operationState != OperationState::waitingForInstruction)
            return;
        if (instruction == Instruction::replace && !agreesToReplaceWithoutKeeping(*operation, progress))
            return;
        operation->setOperationState(OperationState::idle);
        operation->setRule(Rule{instruction, applyToAll});
        if (instruction == Instruction::skip) {
            enqueue(operation);
            return;
        }
    }

    bool rowStays = false;
    switch (progress.fileAction) {
    case Action::move:
        break;
    case Action::copy:
        rowStays = instruction != Instruction::stop && progress.totalSizeOfFiles > progressRowThreshold;
        break;
    case Action::rename:
    case Action::pdf:
        rowStays = instruction != Instruction::stop;
        break;
    }
    if (!rowStays) {
        m_keysDataSource.removeKey(identifier);
        if (m_keysDataSource.count() == 0) {
            if (m_uiDelegate)
                m_uiDelegate->orderOutProgressWindow();
        } else {
            reloadProgress(std::nullopt, true);
        }
    }
    enqueue(operation);
}

bool HBFileShiftOperations::agreesToReplaceWithoutKeeping(HBFileShiftServices& operation, const ProgressData& progress)
{
    const hb::URL folder = progress.currentDestinationURL.deletingLastPathComponent();
    const std::optional<hb::URL> scope = HBURL::shared().bookmarkedURL(folder);
    const bool kept = scope && hb::startAccessingSecurityScopedResource(*scope)
                      && hb::Trash::canKeepItemsIn(folder.path());
    if (scope)
        hb::stopAccessingSecurityScopedResource(*scope);
    if (kept)
        return true;
    if (!m_uiDelegate)
        return false;
    const QString item = progress.currentDestinationURL.lastPathComponent();
    const HBAlertRequest alert{
        QStringLiteral("\u201c%1\u201d cannot be kept if it is replaced").arg(item),
        QStringLiteral("No trash can hold items of the volume that holds \u201c%1\u201d. Replacing deletes the "
                       "existing item for good, and Undo cannot bring it back.")
            .arg(folder.lastPathComponent()),
        {QStringLiteral("Cancel"), QStringLiteral("Replace")}};
    if (m_uiDelegate->runAlert(alert) != 1)
        return false;
    operation.allowDeletingReplacedItems();
    return true;
}

std::optional<ProgressData> HBFileShiftOperations::progress(std::int64_t identifier) const
{
    const auto found = m_operations.find(identifier);
    if (found == m_operations.end())
        return std::nullopt;
    return found->second->getProgressData();
}

void HBFileShiftOperations::showProgressWindow()
{
    if (m_uiDelegate)
        m_uiDelegate->showProgressWindow(*this);
}

void HBFileShiftOperations::reloadProgress(const std::optional<QList<std::int64_t>>& rows, bool reloadAll)
{
    if (m_uiDelegate)
        m_uiDelegate->reloadProgress(rows, reloadAll);
}

void HBFileShiftOperations::removeLeftoversOfKilledCopies()
{
    std::vector<hb::copying::Leftover> leftovers = hb::copying::leftoversOfKilledCopies();
    if (leftovers.empty())
        return;
    operationQueue().addOperation(hb::BlockOperation::blockOperationWithBlock([leftovers = std::move(leftovers)] {
        for (const hb::copying::Leftover& leftover : leftovers) {
            const hb::URL folder = hb::URL::fileURLWithPath(leftover.folder, true);
            const std::optional<hb::URL> scope = HBURL::shared().bookmarkedURL(folder);
            const bool removed = scope && hb::startAccessingSecurityScopedResource(*scope)
                                 && hb::copying::removeLeftover(leftover);
            if (scope)
                hb::stopAccessingSecurityScopedResource(*scope);
            const QString item = hb::Path::join(leftover.folder, QString::fromStdString(leftover.name));
            if (removed)
                qCInfo(hbLog).noquote() << "Removed what a copy killed in an earlier run left:" << item;
            else
                HBDebug() << "A leftover of a killed copy is out of reach for now:" << item;
        }
    }));
}

void HBFileShiftOperations::stopAllOperations()
{
    if (m_operations.empty())
        return;
    for (const auto& [identifier, operation] : m_operations)
        operation->cancelOperation();
    if (m_operationQueue)
        m_operationQueue->waitUntilAllOperationsAreFinished();
    for (const auto& [identifier, operation] : m_operations) {
        operation->cleanUp();
        logStopped(*operation);
    }
    m_operations.clear();
    m_pendingAlerts.clear();
    while (m_keysDataSource.count() > 0)
        m_keysDataSource.removeKey(m_keysDataSource.key(0));
    stopPolling();
    if (m_uiDelegate)
        m_uiDelegate->closeProgressWindow();
}

void HBFileShiftOperations::logStopped(const HBFileShiftServices& operation)
{
    const QList<ShiftedItem> shifted = operation.executedURLS();
    const char* kind = operation.isUndoOperation() ? "An undo" : "A shift";
    if (shifted.isEmpty()) {
        qCInfo(hbLog).noquote() << kind << "was stopped on quitting before it shifted anything";
        return;
    }
    qCInfo(hbLog).noquote() << kind << "was stopped on quitting;" << shifted.size() << "of"
                            << operation.sourceURLS().size() << "items had been shifted and stay where they are:";
    constexpr qsizetype named = 100;
    for (qsizetype i = 0; i < std::min(named, shifted.size()); ++i)
        qCInfo(hbLog).noquote() << "  " << shifted[i].source.path() << "->" << shifted[i].destination.path();
    if (shifted.size() > named)
        qCInfo(hbLog).noquote() << "   and" << shifted.size() - named << "more";
}

void HBFileShiftOperations::undoLastShift()
{
    m_undoManager.undo();
    if (delegate)
        delegate->canUndo(false);
}

void HBFileShiftOperations::undoAction(const std::shared_ptr<const UndoData>& undoData)
{
    start(HBFileShiftServices::create(undoData, this));
}

void HBFileShiftOperations::showNotEnoughSpaceAlert()
{
    if (m_uiDelegate)
        m_uiDelegate->runAlert({QStringLiteral("There is not enough space to move or copy the contents"),
                                QStringLiteral("Please empty unused files/folders and then start the operation again"),
                                {}});
}

void HBFileShiftOperations::notifyOperationComplete(const hb::URL& firstDestination)
{
    if (delegate)
        delegate->operationComplete(firstDestination);
}
