#include "core/engine/HBFileShiftServices.h"

#include "core/engine/HBCopyFileOperation.h"
#include "core/engine/HBSourceSizing.h"
#include "core/engine/InShares.h"
#include "core/engine/ShiftBookmarker.h"
#include "core/store/HBURL.h"
#include "platform/base/Log.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Bookmark.h"
#include "platform/files/ItemIdentity.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Trash.h"
#include "platform/files/Volumes.h"
#include "platform/queues/OperationQueue.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>
#include <vector>

namespace {

std::atomic<std::int64_t> identifierCounter{0};

const QString isExecutingKeyPath = QStringLiteral("isExecuting");
const QString isFinishedKeyPath = QStringLiteral("isFinished");

ErrorData samePlaceError()
{
    return ErrorData{std::nullopt, HBError::fileError, false,
                     hb::Error{hb::NSCocoaErrorDomain,
                               hb::NSFileWriteUnknownError,
                               {{hb::NSLocalizedDescriptionKey, QStringLiteral("Cannot move items")},
                                {hb::NSLocalizedRecoverySuggestionErrorKey,
                                 QStringLiteral("Source and destination are the same. Please check your "
                                                "destination and try again")}}}};
}

ErrorData containsSourceError(const hb::URL& source)
{
    return ErrorData{std::nullopt, HBError::fileError, false,
                     hb::Error{hb::NSCocoaErrorDomain,
                               hb::NSFileWriteUnknownError,
                               {{hb::NSLocalizedDescriptionKey,
                                 QStringLiteral("\u201c%1\u201d cannot replace the folder that contains it")
                                     .arg(source.lastPathComponent())}}}};
}

// The item's name reached us with bytes that are not text replaced, so no path names it exactly.
ErrorData unnamableError(const hb::URL& source)
{
    return ErrorData{
        std::nullopt, HBError::fileError, false,
        hb::Error{hb::NSCocoaErrorDomain,
                  hb::NSFileReadUnknownError,
                  {{hb::NSLocalizedDescriptionKey,
                    QStringLiteral("The name of \u201c%1\u201d cannot be handled").arg(source.lastPathComponent())},
                   {hb::NSLocalizedRecoverySuggestionErrorKey, QStringLiteral("Please rename it and try again")},
                   {hb::NSFilePathErrorKey, source.path()}}}};
}

bool lostBytesOfItsName(const hb::URL& source)
{
    return source.path().contains(QChar::ReplacementCharacter) && !hb::checkResourceIsReachable(source);
}

ErrorData unkeptError(const hb::URL& destination)
{
    return ErrorData{
        std::nullopt, HBError::fileError, false,
        hb::Error{hb::NSCocoaErrorDomain,
                  hb::NSFileWriteUnknownError,
                  {{hb::NSLocalizedDescriptionKey,
                    QStringLiteral("\u201c%1\u201d was not replaced").arg(destination.lastPathComponent())},
                   {hb::NSLocalizedRecoverySuggestionErrorKey,
                    QStringLiteral("No trash can keep the item it would replace, so it was left as it is.")},
                   {hb::NSFilePathErrorKey, destination.path()}}}};
}

ErrorData noPermissionError()
{
    return ErrorData{std::nullopt, HBError::noPermissionDestination, false, placeholderFrameworkError()};
}

ErrorData fileError(const hb::Error& error)
{
    return ErrorData{std::nullopt, HBError::fileError, false, error};
}

}  // namespace

HBFileShiftServices::HBFileShiftServices(const QList<hb::URL>& sources, ShiftDestinations destinations, Action action,
                                         bool isUndo, DataSource dataSource)
    : m_identifier(++identifierCounter),
      m_sourceURLS(sources),
      m_destinations(std::move(destinations)),
      m_executed(m_sourceURLS, m_destinations),
      m_dataSourceType(dataSource),
      m_userFileAction(action),
      m_isUndoOperation(isUndo),
      m_scopes(std::make_unique<ShiftScopes>())
{
    m_progressData.fileAction = action;
}

HBFileShiftServices::~HBFileShiftServices() = default;

// The sources are sized, and the room on the destination volume checked, by the work item.
std::shared_ptr<HBFileShiftServices> HBFileShiftServices::create(const QList<hb::URL>& sources,
                                                                 const hb::URL& destination, Action action, bool isUndo,
                                                                 DataSource dataSource, HBFileShiftDelegate*)
{
    for (const hb::URL& source : sources)
        if (!source.isFileURL())
            return nullptr;
    std::shared_ptr<HBFileShiftServices> operation(
        new HBFileShiftServices(sources, ShiftDestinations::intoFolder(destination), action, isUndo, dataSource));
    operation->m_progressData.currentDestinationURL = destination;
    return operation;
}

std::shared_ptr<HBFileShiftServices> HBFileShiftServices::create(const QList<hb::URL>& sources,
                                                                 const QList<hb::URL>& destinations, Action action,
                                                                 bool isUndo, DataSource dataSource,
                                                                 HBFileShiftDelegate*)
{
    if (destinations.isEmpty() || destinations.size() != sources.size())
        return nullptr;
    for (const hb::URL& source : sources)
        if (!source.isFileURL())
            return nullptr;
    std::shared_ptr<HBFileShiftServices> operation(
        new HBFileShiftServices(sources, ShiftDestinations::each(destinations), action, isUndo, dataSource));
    operation->m_progressData.currentDestinationURL = destinations.first().deletingLastPathComponent();
    return operation;
}

std::shared_ptr<HBFileShiftServices> HBFileShiftServices::create(std::shared_ptr<const UndoData> record,
                                                                 HBFileShiftDelegate*)
{
    if (!record)
        return nullptr;
    std::shared_ptr<HBFileShiftServices> operation(
        new HBFileShiftServices({}, ShiftDestinations::each({}), Action::move, true, DataSource::finder));
    operation->m_undoing = std::move(record);
    return operation;
}

QList<hb::URL> HBFileShiftServices::destinationURLs(const QList<hb::URL>& sources, const hb::URL& folder)
{
    QList<hb::URL> destinations;
    destinations.reserve(sources.size());
    for (const hb::URL& source : sources)
        destinations << folder.appendingPathComponent(source.lastPathComponent());
    return destinations;
}

std::optional<hb::URL> HBFileShiftServices::firstExecutedDestination() const
{
    if (m_executed.isEmpty())
        return std::nullopt;
    return m_executed.destination(0);
}

std::shared_ptr<UndoData> HBFileShiftServices::undoRecord() const
{
    std::lock_guard lock(m_monitor);
    return m_undoRecord;
}

// Where a destination is now, followed through its bookmark when it was moved or renamed since;
// none when the bookmark leads nowhere.
static std::optional<hb::URL> followed(const QByteArray& bookmark)
{
    // The usual case, an item still where it was put, needs no refresh and none of the store's locking;
    // nor a scope, as only the place is wanted.
    bool stale = false;
    std::optional<hb::URL> current = hb::Bookmark::resolve(bookmark, 0, &stale);
    if (stale)
        current = HBURL::shared().resolveRefreshingBookmark(bookmark);
    if (!current)
        return std::nullopt;
    return hb::URL::fileURLWithPath(current->path());
}

void HBFileShiftServices::performUndo()
{
    const ShiftedItems& items = m_undoing->items();
    const PackedBookmarks& bookmarks = m_undoing->bookmarks();
    // Following a destination reads the disk: the bookmarks are shared out among a few threads, each
    // unpacking its share in order. An item left empty is where it was put.
    std::vector<hb::URL> current(std::size_t(items.size()));
    inShares(bookmarks.size(), 2048, 8, [&](qsizetype from, qsizetype to) {
        bookmarks.unpack(from, to, [&](qsizetype k, const QByteArray& bookmark) {
            if (std::optional<hb::URL> url = followed(bookmark))
                current[std::size_t(k)] = std::move(*url);
        });
    });

    QList<hb::URL> movedBack;
    QList<hb::URL> formerPlaces;
    QList<ShiftedItem> copies;
    for (qsizetype k = 0; k < items.size(); ++k) {
        hb::URL place = std::exchange(current[std::size_t(k)], {});
        if (place.isEmpty())
            place = items.destination(k);
        if (items.action(k) == Action::copy) {
            copies << ShiftedItem{items.source(k), std::move(place), Action::copy, items.fingerprint(k),
                                  items.replaced(k)};
        } else {
            if (std::optional<hb::TrashedItem> replaced = items.replaced(k))
                m_replacedToRestore.insert(movedBack.size(), std::move(*replaced));
            movedBack << std::move(place);
            formerPlaces << items.source(k);
        }
    }
    removeUnchangedCopies(copies);
    m_sourceURLS = movedBack;
    m_destinations = ShiftDestinations::each(formerPlaces);
    m_executed = ShiftedItems(m_sourceURLS, m_destinations);
    std::lock_guard lock(m_monitor);
    if (!formerPlaces.isEmpty())
        m_progressData.currentDestinationURL = formerPlaces.first().deletingLastPathComponent();
}

void HBFileShiftServices::removeUnchangedCopies(const QList<ShiftedItem>& copies)
{
    const QList<std::optional<hb::URL>> scopes = HBURL::shared().bookmarkedURLs(destinationsOf(copies));
    for (qsizetype i = 0; i < copies.size(); ++i) {
        if (!scopes[i])
            continue;
        const ShiftedItem& copy = copies[i];
        // A copy changed since it was made holds the user's work: it stays, and so does in the trash
        // what it replaced.
        if (hb::startAccessingSecurityScopedResource(*scopes[i]) && copy.copyFingerprint
            && ItemFingerprint::of(copy.destination) == copy.copyFingerprint
            && hb::FileManager::defaultManager().removeItem(copy.destination) && copy.replaced) {
            hb::Error error;
            if (!hb::Trash::restore(*copy.replaced, &error))
                qCWarning(hbLog).noquote() << "What a copy replaced stays in the trash:" << copy.replaced->item
                                           << error.localizedDescription();
        }
        hb::stopAccessingSecurityScopedResource(*scopes[i]);
    }
}

void HBFileShiftServices::restoreReplaced(qsizetype index)
{
    const auto found = m_replacedToRestore.constFind(index);
    if (found == m_replacedToRestore.constEnd())
        return;
    hb::Error error;
    if (!hb::Trash::restore(*found, &error))
        qCWarning(hbLog).noquote() << "What a move replaced stays in the trash:" << found->item
                                   << error.localizedDescription();
}

void HBFileShiftServices::allowDeletingReplacedItems()
{
    std::lock_guard lock(m_monitor);
    m_replacedItemsMayBeDeleted = true;
}

std::optional<ErrorData> HBFileShiftServices::mayReplace(const hb::URL& destination, bool exists, bool& keep)
{
    keep = m_scopes->trashKeepsItemsOf(destination.deletingLastPathComponent());
    std::lock_guard lock(m_monitor);
    if (keep || m_replacedItemsMayBeDeleted || !exists)
        return std::nullopt;
    return unkeptError(destination);
}

bool HBFileShiftServices::fillInformation()
{
    const SourceTotals totals = HBSourceSizing::measure(m_sourceURLS, m_destinations, m_userFileAction == Action::copy,
                                                        *m_scopes, [this] { return hasBeenCancelled(); });
    m_sizeToCopy = totals.sizeToCopy;
    m_sourceFacts = std::move(totals.facts);
    setNumberInformation(totals.size, totals.count, m_sourceURLS.size());
    return !totals.stopped;
}

bool HBFileShiftServices::checkSpaceFeasbility(const hb::URL& folder) const
{
    const std::optional<quint64> freeSize = hb::Volumes::freeSize(folder.path());
    if (!freeSize)
        return true;
    return m_sizeToCopy <= *freeSize;
}

bool HBFileShiftServices::spacefeasbility() const
{
    std::lock_guard lock(m_monitor);
    return m_spacefeasbility;
}

bool HBFileShiftServices::hasBeenCancelled() const
{
    std::lock_guard lock(m_monitor);
    return m_state.cancelled;
}

ErrorData HBFileShiftServices::fileShiftError() const
{
    std::lock_guard lock(m_monitor);
    return m_fileShiftError;
}

Action HBFileShiftServices::userFileAction() const
{
    std::lock_guard lock(m_monitor);
    return m_userFileAction;
}

ProgressData HBFileShiftServices::getProgressData()
{
    std::lock_guard lock(m_monitor);
    if (m_progressData.fileAction == Action::copy && m_copyManager) {
        const CopyProgressData copied = m_copyManager->getProgressData();
        m_progressData.completedCountOfFiles = copied.completedCountOfFiles;
        m_progressData.completedSizeOfFiles = copied.completedSizeOfFiles;
    }
    ProgressData progress = m_progressData;
    progress.operationState = m_state.phase;
    return progress;
}

bool HBFileShiftServices::changeState(OperationState to, bool markCancelled)
{
    std::lock_guard lock(m_monitor);
    if (!isShiftStateMove(m_state.phase, to)) {
        HBDebug() << "Shift" << m_identifier << "refused the move from state" << int(m_state.phase) << "to" << int(to);
        return false;
    }
    m_state.phase = to;
    m_state.cancelled = m_state.cancelled || markCancelled || to == OperationState::cancel;
    return true;
}

bool HBFileShiftServices::setOperationState(OperationState state)
{
    return changeState(state);
}

void HBFileShiftServices::setRule(std::optional<Rule> rule)
{
    std::lock_guard lock(m_monitor);
    m_progressData.fileShiftRule = rule;
}

std::optional<Rule> HBFileShiftServices::currentRule() const
{
    std::lock_guard lock(m_monitor);
    return m_progressData.fileShiftRule;
}

void HBFileShiftServices::setProgressFileName(const hb::URL& source, const hb::URL& destinationURL)
{
    std::lock_guard lock(m_monitor);
    m_progressData.currentFileURL = source;
    m_progressData.currentDestinationURL = destinationURL;
}

void HBFileShiftServices::setNumberInformation(std::uint64_t totalSize, std::uint64_t allCount, std::int64_t itemCount)
{
    std::lock_guard lock(m_monitor);
    m_progressData.totalSizeOfFiles = totalSize;
    m_progressData.totalCountOfFiles = allCount;
    m_progressData.numberOfSource = itemCount;
}

CopyProgressData HBFileShiftServices::getCopyProgress()
{
    std::lock_guard lock(m_monitor);
    return CopyProgressData(m_progressData.completedCountOfFiles, m_progressData.completedSizeOfFiles);
}

void HBFileShiftServices::setFileShiftError(const ErrorData& error)
{
    std::lock_guard lock(m_monitor);
    m_fileShiftError = error;
}

void HBFileShiftServices::cancelOperation()
{
    std::lock_guard lock(m_monitor);
    if (m_copyManager) {
        m_copyManager->cancelOperation();
        m_copyManager.reset();
    }
    if (m_state.phase == OperationState::running) {
        changeState(OperationState::cancel);
    } else {
        m_fileShiftError = ErrorData::reset();
        changeState(OperationState::complete, true);
    }
}

void HBFileShiftServices::observeValue(const QString& keyPath, bool newValue)
{
    if (!newValue)
        return;
    std::lock_guard lock(m_monitor);
    if (keyPath == isExecutingKeyPath) {
        // Cancelled while it waited in the queue: it stays stopped and shifts nothing.
        if (!m_state.cancelled)
            changeState(OperationState::running);
    } else if (keyPath == isFinishedKeyPath) {
        // Complete already when a cancellation ended it while queued, or a second one during the run.
        if (m_state.phase == OperationState::complete)
            return;
        if (m_previousStop == m_sourceURLS.size() || m_state.phase == OperationState::cancel)
            changeState(OperationState::complete);
        else
            changeState(OperationState::getInstruction);
    }
}

void HBFileShiftServices::cleanUp()
{
    if (!blockOperation)
        return;
    blockOperation->removeObserver(this, isFinishedKeyPath);
    blockOperation->removeObserver(this, isExecutingKeyPath);
    blockOperation.reset();
}

void HBFileShiftServices::main()
{
    {
        std::lock_guard lock(m_monitor);
        // Complete already: stopped while its work item waited in the queue.
        if (m_state.phase == OperationState::complete)
            return;
        if (m_state.phase == OperationState::cancel) {
            m_fileShiftError = ErrorData::reset();
            return;
        }
        m_copyManager.reset();
    }
    if (m_undoing) {
        performUndo();
        m_undoing.reset();
    }
    if (!m_sized) {
        m_sized = true;
        const bool sized = fillInformation();
        const bool room = !sized || m_sourceURLS.isEmpty() || checkSpaceFeasbility(m_destinations.folderAt(0));
        std::lock_guard lock(m_monitor);
        m_spacefeasbility = room;
        if (!room && !m_state.cancelled)
            changeState(OperationState::cancel);
        if (!room || m_state.cancelled) {
            m_fileShiftError = ErrorData::reset();
            return;
        }
    }
    m_fileManager = hb::FileManager::holdingFolders();
    m_fileManager->delegate = this;
    if (!m_isUndoOperation)
        m_bookmarker = std::make_unique<ShiftBookmarker>(std::move(m_bookmarks));
    shiftFiles();
    m_sourceFacts = {};
    if (m_bookmarker) {
        m_bookmarks = m_bookmarker->finish();
        m_bookmarker.reset();
    }
    m_scopes->close();
    std::lock_guard lock(m_monitor);
    if (!m_isUndoOperation && m_previousStop == m_sourceURLS.size() && !m_executed.isEmpty() && !m_state.cancelled)
        m_undoRecord = std::make_shared<UndoData>(m_executed, std::move(m_bookmarks), m_userFileAction);
}

UndoInformation HBFileShiftServices::undoInformation() const
{
    return UndoInformation{m_executed.toList(), userFileAction()};
}

bool HBFileShiftServices::isSamePlace(const hb::URL& source, const hb::URL& destination)
{
    const hb::URL folder = destination.deletingLastPathComponent();
    return source.deletingLastPathComponent() == folder || source.contains(folder);
}

bool HBFileShiftServices::isSamePlaceOnDisk(const hb::URL& source, const hb::URL& destination)
{
    const QList<hb::ItemIdentity>& folder = m_scopes->chainOf(destination.deletingLastPathComponent());
    if (folder.isEmpty())
        return false;
    const std::optional<hb::ItemIdentity> parent = m_scopes->identityOf(source.deletingLastPathComponent());
    if (!parent || *parent == folder.first())
        return parent.has_value();
    // A source that holds the destination folder has its own folder among the destination's too.
    if (!folder.contains(*parent))
        return false;
    const std::optional<hb::ItemIdentity> item = hb::ItemIdentity::of(source, false);
    return item && folder.contains(*item);
}

bool HBFileShiftServices::mustBeCopied(qsizetype index, const hb::URL& source, const hb::URL& folder)
{
    const std::uint8_t facts = std::size_t(index) < m_sourceFacts.size() ? m_sourceFacts[std::size_t(index)] : 0;
    if (!(facts & sourceFactKnown))
        return mustBeCopied(source, folder);
    return facts & sourceFactCopied;
}

bool HBFileShiftServices::mustBeCopied(const hb::URL& source, const hb::URL& folder)
{
    static const QStringList keys{hb::NSURLVolumeIdentifierKey, hb::NSURLIsUserImmutableKey};
    const std::optional<QVariantMap> values = hb::resourceValues(source, keys);
    if (!values)
        return true;
    const QVariant volume = values->value(hb::NSURLVolumeIdentifierKey);
    const QVariant folderVolume = m_scopes->volumeOf(folder);
    const QVariant locked = values->value(hb::NSURLIsUserImmutableKey);
    return !volume.isValid() || !folderVolume.isValid() || volume != folderVolume || !locked.isValid()
           || locked.toBool();
}

hb::URL HBFileShiftServices::keepBothURL(const hb::URL& url, std::optional<Instruction> instruction)
{
    if (instruction != Instruction::keepBoth)
        return url;
    return placement(url, instruction).url;
}

HBFileShiftServices::Placement HBFileShiftServices::placement(const hb::URL& url,
                                                              std::optional<Instruction> instruction)
{
    const hb::FileManager& files = hb::FileManager::defaultManager();
    Placement found{url};
    found.exists = files.fileExists(url.path(), &found.isDirectory);
    if (!found.exists || instruction != Instruction::keepBoth)
        return found;
    const hb::URL folder = url.deletingLastPathComponent();
    const QString base = url.deletingPathExtension().lastPathComponent();
    const QString extension = url.pathExtension();
    bool isDirectory = found.isDirectory;
    for (qint64 n = 0;; ++n) {
        const QString name = n == 0 ? base + QStringLiteral(" Copy") : base + QStringLiteral(" Copy %1").arg(n);
        const hb::URL candidate = isDirectory ? folder.appendingPathComponent(name, true)
                                              : folder.appendingPathComponent(name).appendingPathExtension(extension);
        if (!files.fileExists(candidate.path(), &isDirectory))
            return Placement{candidate};
    }
}

bool HBFileShiftServices::shouldProceedAfterError(hb::FileManager&, const hb::Error&, const hb::URL&, const hb::URL&)
{
    const std::optional<Rule> rule = currentRule();
    return rule && rule->instruction == Instruction::replace;
}

void HBFileShiftServices::shiftFiles()
{
    setFileShiftError(ErrorData::reset());
    std::optional<Rule> rule = currentRule();
    const qsizetype first = m_previousStop;
    const qsizetype count = m_sourceURLS.size();
    // Each item's destination folder scope and its own, all looked up before any is opened; asked
    // again in the loop, they answer from memory.
    for (qsizetype i = first; i < count; ++i) {
        m_scopes->scopeFor(m_destinations.folderAt(i));
        m_scopes->scopeFor(m_sourceURLS[i]);
    }

    for (qsizetype i = first; i < count; ++i) {
        const hb::URL& source = m_sourceURLS[i];
        hb::URL destination = m_destinations.at(i, source);
        setProgressFileName(source, destination);

        const bool reachable = m_scopes->open(m_scopes->scopeFor(m_destinations.folderAt(i)))
                               && m_scopes->open(m_scopes->scopeFor(source));
        // By path text, and by what the paths reach: a link may name the source's own folder.
        if (isSamePlace(source, destination) || (reachable && isSamePlaceOnDisk(source, destination))) {
            setFileShiftError(samePlaceError());
            if (!m_firstFailure)
                m_firstFailure = samePlaceError();
            ++m_previousStop;
            continue;
        }

        ErrorData result;
        const qsizetype shiftedBefore = m_executed.size();
        m_currentIndex = i;
        if (!reachable) {
            result = noPermissionError();
        } else if (lostBytesOfItsName(source)) {
            result = unnamableError(source);
        } else {
            // Another volume, or a locked item, can only be copied: so is the rest of the operation.
            if (userFileAction() != Action::copy && mustBeCopied(i, source, m_destinations.folderAt(i)))
                switchToCopy();
            bool moved = false;
            if (!rule && userFileAction() == Action::move) {
                if (!moveUnlessSomethingIsThere(source, destination, result))
                    return;
                // Another mount of the volume, such as a bind mount, is another volume to a rename.
                moved = !isCrossDevice(result);
                if (!moved)
                    switchToCopy();
            }
            if (!moved) {
                const Placement place = placement(destination, rule ? std::optional(rule->instruction) : std::nullopt);
                if (place.url != destination) {
                    destination = place.url;
                    m_destinations.rename(i, destination);
                    m_executed.setDestinations(m_destinations);
                }
                if (place.exists && !rule) {
                    setFileShiftError(
                        ErrorData{source, HBError::fileExists, place.isDirectory, placeholderFrameworkError()});
                    return;
                }
                result = shiftItem(source, destination, place.isDirectory, place.exists);
            }
        }
        setFileShiftError(result);
        if (result.errorCode != HBError::none && !m_firstFailure)
            m_firstFailure = result;
        if (m_bookmarker && m_executed.size() > shiftedBefore)
            m_bookmarker->add(shiftedBefore, destination);
        if (m_executed.size() > shiftedBefore)
            restoreReplaced(i);

        if (rule && !rule->applyToAll) {
            setRule(std::nullopt);
            rule.reset();
        }
        if (afterItem()) {
            setFileShiftError(ErrorData::reset());
            return;
        }
        ++m_previousStop;
    }
    if (m_firstFailure)
        setFileShiftError(*m_firstFailure);
}

bool HBFileShiftServices::moveUnlessSomethingIsThere(const hb::URL& source, const hb::URL& destination,
                                                     ErrorData& result)
{
    hb::Error error;
    if (m_fileManager->moveItem(source, destination, &error)) {
        m_executed.append(m_currentIndex, Action::move, std::nullopt);
        result = ErrorData::reset();
        return true;
    }
    bool isDirectory = false;
    if (error.code == hb::NSFileWriteFileExistsError && m_fileManager->fileExists(destination.path(), &isDirectory)) {
        setFileShiftError(ErrorData{source, HBError::fileExists, isDirectory, placeholderFrameworkError()});
        return false;
    }
    result = fileError(error);
    return true;
}

void HBFileShiftServices::switchToCopy()
{
    std::lock_guard lock(m_monitor);
    m_userFileAction = Action::copy;
    m_progressData.fileAction = Action::copy;
}

bool HBFileShiftServices::isCrossDevice(const ErrorData& result)
{
    return result.errorCode == HBError::fileError
           && result.frameworkError.userInfo.value(hb::NSUnderlyingErrorKey).toInt() == EXDEV;
}

bool HBFileShiftServices::afterItem()
{
    std::lock_guard lock(m_monitor);
    // A finished copy's counts carry over into the record, so the next item's copy starts from them.
    if (m_progressData.fileAction == Action::copy)
        getProgressData();
    if (m_userFileAction != m_progressData.fileAction)
        m_progressData.fileAction = m_userFileAction;
    return m_state.cancelled;
}

ErrorData HBFileShiftServices::shiftItem(const hb::URL& source, const hb::URL& destination, bool isDirectory,
                                         bool exists)
{
    const ProgressData progress = getProgressData();
    const std::optional<Instruction> instruction = progress.fileShiftRule
                                                       ? std::optional(progress.fileShiftRule->instruction)
                                                       : std::nullopt;
    const bool leaveExisting = exists
                               && (instruction == Instruction::skip || instruction == Instruction::merge
                                   || instruction == Instruction::stop);
    // Whatever replaces an item removes it: never when it is, or holds, the source.
    if (exists && !leaveExisting && containsSource(destination, source))
        return containsSourceError(source);
    switch (progress.fileAction) {
    case Action::copy:
        if (!instruction && hasBeenCancelled())
            return ErrorData::reset();
        if (instruction == Instruction::stop || leaveExisting)
            return ErrorData::reset();
        return copyItem(source, destination, isDirectory, exists && instruction == Instruction::replace);
    case Action::move:
        // Skip leaves the existing item as it is, for a move as for a copy.
        if (leaveExisting)
            return ErrorData::reset();
        return moveItem(source, destination, isDirectory, exists);
    case Action::rename:
    case Action::pdf:
        break;
    }
    return ErrorData::reset();
}

bool HBFileShiftServices::containsSource(const hb::URL& existing, const hb::URL& source)
{
    const std::optional<hb::ItemIdentity> item = hb::ItemIdentity::of(existing, false);
    return item && hb::ItemIdentity::chain(source, false).contains(*item);
}

ErrorData HBFileShiftServices::copyItem(const hb::URL& source, const hb::URL& destination, bool isDirectory,
                                        bool replacing)
{
    bool keep = false;
    if (replacing) {
        if (std::optional<ErrorData> refused = mayReplace(destination, true, keep))
            return *refused;
    }
    // A replacing copy is made beside the existing item and swapped in only once it is complete, so
    // a failed or cancelled copy leaves the existing item as it was.
    const hb::URL target
        = replacing ? destination.deletingLastPathComponent().appendingPathComponent(
              QStringLiteral(".%1.harbrill-replace-%2").arg(destination.lastPathComponent()).arg(m_identifier))
                    : destination;
    std::shared_ptr<HBCopyFileOperation> copy;
    {
        std::lock_guard lock(m_monitor);
        copy = std::make_shared<HBCopyFileOperation>(
            CopyProgressData(m_progressData.completedCountOfFiles, m_progressData.completedSizeOfFiles));
        m_copyManager = copy;
    }
    const std::optional<hb::Error> error = copy->copyFileOperationWithSource(source, target, isDirectory);
    const auto discardTarget = [&] {
        if (replacing)
            m_fileManager->removeItem(target);
    };
    if (error) {
        discardTarget();
        return fileError(*error);
    }
    // A cancelled copy reports no error and leaves nothing behind.
    if (!m_fileManager->fileExists(target.path()))
        return ErrorData::reset();
    if (hasBeenCancelled() && replacing) {
        discardTarget();
        return ErrorData::reset();
    }
    std::optional<hb::TrashedItem> trashed;
    if (replacing) {
        hb::Error replaceError;
        if (!m_fileManager->replaceItem(destination, target, {}, &replaceError, keep ? &trashed : nullptr)) {
            discardTarget();
            return fileError(replaceError);
        }
    }
    m_executed.append(m_currentIndex, Action::copy, ItemFingerprint::of(destination), std::move(trashed));
    return ErrorData::reset();
}

ErrorData HBFileShiftServices::moveItem(const hb::URL& source, const hb::URL& destination, bool isDirectory,
                                        bool exists)
{
    // Only an answer of replace lets a move replace anything (FileManagerDelegate).
    bool keep = false;
    if (currentRule() && currentRule()->instruction == Instruction::replace) {
        if (std::optional<ErrorData> refused = mayReplace(destination, exists, keep))
            return *refused;
    }
    hb::Error error;
    std::optional<hb::TrashedItem> trashed;
    std::optional<hb::TrashedItem>* replaced = keep ? &trashed : nullptr;
    const bool moved = exists && isDirectory ? m_fileManager->replaceItem(
                           destination, source, QStringLiteral("interMediate1xw"), &error, replaced)
                                             : m_fileManager->moveItem(source, destination, &error, replaced);
    if (!moved && isCrossDevice(fileError(error))) {
        switchToCopy();
        return copyItem(source, destination, isDirectory, exists);
    }
    if (!moved)
        return fileError(error);
    m_executed.append(m_currentIndex, Action::move, std::nullopt, std::move(trashed));
    return ErrorData::reset();
}
