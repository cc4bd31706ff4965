#pragma once

#include "core/engine/DataSource.h"
#include "core/engine/HBEngineTypes.h"
#include "core/engine/HBFileShiftDelegate.h"
#include "core/engine/PackedBookmarks.h"
#include "core/engine/ShiftDestinations.h"
#include "core/engine/ShiftScopes.h"
#include "core/engine/ShiftedItems.h"
#include "core/engine/UndoData.h"
#include "platform/base/URL.h"
#include "platform/files/FileManager.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CopyProgressData;
class HBCopyFileOperation;
namespace hb {
class BlockOperation;
}
class ShiftBookmarker;

// What a finished operation leaves for its undo record: every item shifted, in order, and the
// action in force at the end.
struct UndoInformation {
    QList<ShiftedItem> items;
    Action action = Action::move;
    QList<hb::URL> sources() const { return sourcesOf(items); }
    QList<hb::URL> destinations() const { return destinationsOf(items); }
};

// One move or copy of a set of source items into a destination: the unit of work the operations
// manager queues, polls, answers at a name conflict and discards when complete. It never calls its
// manager; its state is read from its progress record and last error. The record, the state, the
// last error, the action in force and the cancellation path are guarded by monitor().
//
// Its work item, on a queue thread, does all of its file work:
//   undo only: follow the record's bookmarks, delete unchanged copies, list what moves back
//   first run only: size the sources (totals known before the first item), check for room
//   then the item loop; each item shifted is bookmarked for the undo record as it goes
//   all done, not cancelled: the undo record is made on the queue thread
//
// States, and the only moves between them (shiftStateMoves; the manager makes the ones it answers):
//   idle --work item starts--> running             waitingForInstruction --queued as it is--> running
//   running --cancelOperation(), or no room--> cancel
//   running --work item ends: all done--> complete;  stopped at a conflict --> getInstruction
//   cancel --work item ends, or cancelOperation() again--> complete
//   getInstruction --manager shows it--> waitingForInstruction --answer--> idle, queued again
//   getInstruction --answered before it was shown--> idle
//   idle, getInstruction, waitingForInstruction --cancelOperation()--> complete
//   complete --cancelOperation()--> complete: finished for good, it only takes the mark
// Entering cancel, and cancelOperation() in any state, mark the shift cancelled for good: the mark
// is part of the state, so the work item and the manager read one value.
struct ShiftStateMove {
    OperationState from;
    OperationState to;
};
inline constexpr ShiftStateMove shiftStateMoves[] = {
    {OperationState::idle, OperationState::running},
    {OperationState::idle, OperationState::complete},
    {OperationState::running, OperationState::cancel},
    {OperationState::running, OperationState::complete},
    {OperationState::running, OperationState::getInstruction},
    {OperationState::getInstruction, OperationState::waitingForInstruction},
    {OperationState::getInstruction, OperationState::idle},
    {OperationState::getInstruction, OperationState::complete},
    {OperationState::waitingForInstruction, OperationState::idle},
    {OperationState::waitingForInstruction, OperationState::running},
    {OperationState::waitingForInstruction, OperationState::complete},
    {OperationState::cancel, OperationState::complete},
    {OperationState::complete, OperationState::complete},
};

constexpr bool isShiftStateMove(OperationState from, OperationState to)
{
    for (const ShiftStateMove& move : shiftStateMoves)
        if (move.from == from && move.to == to)
            return true;
    return false;
}

class HBFileShiftServices : public std::enable_shared_from_this<HBFileShiftServices>, public hb::FileManagerDelegate {
public:
    // Every source into one destination folder. None when a source has no file-path form.
    static std::shared_ptr<HBFileShiftServices> create(const QList<hb::URL>& sources, const hb::URL& destination,
                                                       Action action, bool isUndo, DataSource dataSource,
                                                       HBFileShiftDelegate* delegate);
    // One destination per source (an undo puts items back). None for an empty or mismatched list.
    static std::shared_ptr<HBFileShiftServices> create(const QList<hb::URL>& sources,
                                                       const QList<hb::URL>& destinations, Action action, bool isUndo,
                                                       DataSource dataSource, HBFileShiftDelegate* delegate);
    // Undoes a finished shift, moving its items back as an undo shift of its own.
    static std::shared_ptr<HBFileShiftServices> create(std::shared_ptr<const UndoData> record,
                                                       HBFileShiftDelegate* delegate);
    ~HBFileShiftServices() override;

    std::int64_t identifier() const { return m_identifier; }
    DataSource dataSourceType() const { return m_dataSourceType; }
    bool isUndoOperation() const { return m_isUndoOperation; }
    bool hasBeenCancelled() const;
    // Known once the work item has sized the sources; true until then.
    bool spacefeasbility() const;
    // Read by the manager only once the operation has stopped.
    const QList<hb::URL>& sourceURLS() const { return m_sourceURLS; }
    QList<ShiftedItem> executedURLS() const { return m_executed.toList(); }
    std::optional<hb::URL> firstExecutedDestination() const;
    std::int64_t previousStop() const { return m_previousStop; }
    // The record that undoes this shift: made on the queue thread when every item has been handled,
    // not cancelled, by a shift that is not itself an undo and shifted something.
    std::shared_ptr<UndoData> undoRecord() const;

    std::recursive_mutex& monitor() const { return m_monitor; }
    ErrorData fileShiftError() const;
    Action userFileAction() const;

    // A consistent copy of the progress record; a copy in progress brings the counts up to date.
    ProgressData getProgressData();
    // The manager's moves; false, and nothing changed, for one the table does not hold.
    bool setOperationState(OperationState state);
    void setRule(std::optional<Rule> rule);
    void setProgressFileName(const hb::URL& source, const hb::URL& destinationURL);
    void setNumberInformation(std::uint64_t totalSize, std::uint64_t allCount, std::int64_t itemCount);
    CopyProgressData getCopyProgress();

    // A running operation stops after its current item; any other is complete at once. Either way it
    // is cancelled for good.
    void cancelOperation();
    // What is replaced goes to the trash, so that undo puts it back; where no trash can keep it, it is
    // replaced only once the user has agreed that it is deleted.
    void allowDeletingReplacedItems();
    // The body of the queued work item, on a queue thread.
    void main();
    UndoInformation undoInformation() const;

    // The queued work item; set and cleared by the manager on the main thread.
    std::shared_ptr<hb::BlockOperation> blockOperation;
    // The state machine, driven by the work item's "isExecuting" and "isFinished".
    void observeValue(const QString& keyPath, bool newValue);
    // Removes both observations from the work item and drops it.
    void cleanUp();

    static QList<hb::URL> destinationURLs(const QList<hb::URL>& sources, const hb::URL& folder);
    // The URL unchanged, or with keepBoth and something in the way, the first free " Copy" name.
    static hb::URL keepBothURL(const hb::URL& url, std::optional<Instruction> instruction);
    // Source and destination are the same place: the item's own folder, the item itself, or a folder
    // inside it (by whole path components).
    static bool isSamePlace(const hb::URL& source, const hb::URL& destination);

    // FileManagerDelegate: a move onto an existing item proceeds only under the rule replace.
    bool shouldMoveItem(hb::FileManager&, const hb::URL&, const hb::URL&) override { return true; }
    bool shouldProceedAfterError(hb::FileManager&, const hb::Error&, const hb::URL&, const hb::URL&) override;

private:
    // Where an item goes (its destination, or under keepBoth the first free " Copy" name) and what
    // is there now.
    struct Placement {
        hb::URL url;
        bool exists = false;
        bool isDirectory = false;
    };
    static Placement placement(const hb::URL& url, std::optional<Instruction> instruction);

    HBFileShiftServices(const QList<hb::URL>& sources, ShiftDestinations destinations, Action action, bool isUndo,
                        DataSource dataSource);
    // Follows the record's destinations, deletes the copies still as they were made, and lists the
    // moved items as this shift's sources, their former places as its destinations.
    void performUndo();
    // Each copy that replaced an item gives that item its place back.
    static void removeUnchangedCopies(const QList<ShiftedItem>& copies);
    // Puts back what the shift being undone replaced where the item at `index` now went back from.
    void restoreReplaced(qsizetype index);
    // Whether the existing item at `destination` may be replaced, and whether it is kept in the trash;
    // the error of an item that can be neither kept nor deleted.
    std::optional<ErrorData> mayReplace(const hb::URL& destination, bool exists, bool& keep);
    // Sizes the sources; false when stopped by a cancellation meanwhile.
    bool fillInformation();
    bool checkSpaceFeasbility(const hb::URL& folder) const;
    void shiftFiles();
    ErrorData shiftItem(const hb::URL& source, const hb::URL& destination, bool isDirectory, bool exists);
    ErrorData copyItem(const hb::URL& source, const hb::URL& destination, bool isDirectory, bool replacing);
    // A rename that fails across mounts (EXDEV) turns into a copy, for the rest of the operation too.
    ErrorData moveItem(const hb::URL& source, const hb::URL& destination, bool isDirectory, bool exists);
    void switchToCopy();
    static bool isCrossDevice(const ErrorData& result);
    // Another volume than the folder's, or a locked item, can only be copied. A volume that cannot be
    // told counts as another one, a lock flag that cannot be read as set. Notes the source's kind.
    bool mustBeCopied(const hb::URL& source, const hb::URL& folder);
    // The same from what sizing read, in the loop's first pass; else read now.
    bool mustBeCopied(qsizetype index, const hb::URL& source, const hb::URL& folder);
    // A move that nothing stands in the way of as far as the rename can tell: it refuses to replace
    // anything, so no look at the destination is needed first. False at a conflict (recorded).
    bool moveUnlessSomethingIsThere(const hb::URL& source, const hb::URL& destination, ErrorData& result);
    // The same-place test on what the paths reach: the destination folder is the source's own folder,
    // or the source or a folder inside it.
    bool isSamePlaceOnDisk(const hb::URL& source, const hb::URL& destination);
    // Whether the existing item is the source or one of the folders that hold it.
    static bool containsSource(const hb::URL& existing, const hb::URL& source);
    void setFileShiftError(const ErrorData& error);
    // Every change of the state: under the lock, and only along shiftStateMoves; false, and nothing
    // changed (logged in debug), for any other move. Entering cancel, or `markCancelled`, sets the
    // mark.
    bool changeState(OperationState to, bool markCancelled = false);
    // Brings the record up to date after an item; whether the shift is to stop.
    bool afterItem();
    std::optional<Rule> currentRule() const;

    const std::int64_t m_identifier;
    QList<hb::URL> m_sourceURLS;
    ShiftDestinations m_destinations;
    ShiftedItems m_executed;
    std::shared_ptr<const UndoData> m_undoing;  // the record this undo shift puts back, until it is read
    const DataSource m_dataSourceType;
    ErrorData m_fileShiftError;
    // The first item that failed in this operation: reported at the end, even after later successes.
    std::optional<ErrorData> m_firstFailure;
    Action m_userFileAction;
    std::unique_ptr<hb::FileManager> m_fileManager;
    std::shared_ptr<HBCopyFileOperation> m_copyManager;
    // Its own operationState is not used: a copy takes the one of m_state.
    ProgressData m_progressData;
    // Where the shift is and whether it was ever cancelled: one value, written by changeState() only.
    struct State {
        OperationState phase = OperationState::idle;
        bool cancelled = false;
    } m_state;
    std::int64_t m_previousStop = 0;
    const bool m_isUndoOperation;
    bool m_replacedItemsMayBeDeleted = false;
    // An undo shift: what the shift it undoes replaced, by the position of the item that replaced it.
    QHash<qsizetype, hb::TrashedItem> m_replacedToRestore;
    bool m_spacefeasbility = true;
    bool m_sized = false;
    // The bytes that will be copied (not renamed): what the destination volume must have room for.
    std::uint64_t m_sizeToCopy = 0;
    std::unique_ptr<ShiftScopes> m_scopes;
    // What sizing read of each source, for the first pass of the item loop only.
    std::vector<std::uint8_t> m_sourceFacts;
    // Bookmarks of the items shifted, made beside the loop while their scopes are open, and the record
    // built from them.
    PackedBookmarks m_bookmarks;
    std::unique_ptr<ShiftBookmarker> m_bookmarker;
    std::shared_ptr<UndoData> m_undoRecord;
    qsizetype m_currentIndex = 0;  // the item being shifted
    mutable std::recursive_mutex m_monitor;
};
