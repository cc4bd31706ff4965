#include "core/engine/HBFileShiftServices.h"

#include "core/engine/HBCopyFileOperation.h"
#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ItemIdentity.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Volumes.h"
#include "platform/queues/OperationQueue.h"

#include <atomic>
#include <utility>
#include <vector>

namespace {

std::atomic<std::int64_t> identifierCounter{0};

const QString isExecutingKeyPath = QStringLiteral("isExecuting");
const QString isFinishedKeyPath = QStringLiteral("isFinished");

ErrorData samePlaceError()
{
    return ErrorData{std::nullopt, HBError::fileError, false,
                     hb::Error{hb::NSCocoaErrorDomain, hb::NSFileWriteUnknownError,
                               {{hb::NSLocalizedDescriptionKey, QStringLiteral("Cannot move items")},
                                {hb::NSLocalizedRecoverySuggestionErrorKey,
                                 QStringLiteral("Source and destination are the same. Please check your "
                                                "destination and try again")}}}};
}

ErrorData containsSourceError(const hb::URL& source)
{
    return ErrorData{std::nullopt, HBError::fileError, false,
                     hb::Error{hb::NSCocoaErrorDomain, hb::NSFileWriteUnknownError,
                               {{hb::NSLocalizedDescriptionKey,
                                 QStringLiteral("\u201c%1\u201d cannot replace the folder that contains it")
                                     .arg(source.lastPathComponent())}}}};
}

// The item's name reached us with bytes that are not text replaced, so no path names it exactly.
ErrorData unnamableError(const hb::URL& source)
{
    return ErrorData{std::nullopt, HBError::fileError, false,
                     hb::Error{hb::NSCocoaErrorDomain, hb::NSFileReadUnknownError,
                               {{hb::NSLocalizedDescriptionKey,
                                 QStringLiteral("The name of \u201c%1\u201d cannot be handled")
                                     .arg(source.lastPathComponent())},
                                {hb::NSLocalizedRecoverySuggestionErrorKey,
                                 QStringLiteral("Please rename it and try again")},
                                {hb::NSFilePathErrorKey, source.path()}}}};
}

bool lostBytesOfItsName(const hb::URL& source)
{
    return source.path().contains(QChar::ReplacementCharacter) && !hb::checkResourceIsReachable(source);
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

// The security scopes that one pass over the items works in, and the volumes of its destination
// folders. Items of one folder share the scope that covers the folder, so a shift of many files from
// one folder resolves its bookmark once, not per item. Every scope is resolved before any is opened:
// a lookup made while a scope is open would store a bookmark of its own for every item it covers.
// An opened scope stays open until the pass ends, so items do not open and close it one by one.
struct HBFileShiftServices::RunScopes {
    QHash<QString, std::optional<hb::URL>> byItem;  // items whose scope does not cover their folder
    QHash<QString, hb::URL> byFolder;
    QHash<QString, QVariant> volumes;
    QHash<QString, QList<hb::ItemIdentity>> chains;
    QHash<QString, std::optional<hb::ItemIdentity>> identities;
    QHash<QString, bool> opened;
    std::vector<hb::URL> toClose;
    // The answers last given, compared before any hashing: a pass asks about the same one or two
    // folders and scopes for item after item.
    std::pair<QString, hb::URL> recentFolders[2];
    std::size_t nextRecent = 0;
    std::pair<QString, bool> lastOpened;
    std::pair<QString, QVariant> lastVolume;
    std::pair<QString, std::optional<hb::ItemIdentity>> lastIdentity;

    ~RunScopes() { close(); }

    std::optional<hb::URL> scopeFor(const hb::URL& item)
    {
        if (!byItem.isEmpty()) {
            if (const auto found = byItem.constFind(item.path()); found != byItem.constEnd())
                return *found;
        }
        const QString& path = item.path();
        const qsizetype slash = path.lastIndexOf(u'/');
        const QStringView folderView = slash <= 0 ? QStringView(u"/") : QStringView(path).left(slash);
        for (const auto& [folder, scope] : recentFolders) {
            if (!folder.isEmpty() && folder == folderView)
                return scope;
        }
        const QString folder = folderView.toString();
        if (const auto found = byFolder.constFind(folder); found != byFolder.constEnd()) {
            remember(folder, *found);
            return *found;
        }
        std::optional<hb::URL> scope = HBURL::shared().bookmarkedURL(item);
        if (scope && scope->contains(hb::URL::fileURLWithPath(folder, true))) {
            byFolder.insert(folder, *scope);
            remember(folder, *scope);
        } else {
            byItem.insert(path, scope);
        }
        return scope;
    }

    void remember(const QString& folder, const hb::URL& scope)
    {
        recentFolders[nextRecent] = {folder, scope};
        nextRecent = (nextRecent + 1) % std::size(recentFolders);
    }

    // Opens the scope once per pass; a start that failed is closed again at once and not retried.
    bool open(const std::optional<hb::URL>& scope)
    {
        if (!scope)
            return false;
        if (!lastOpened.first.isEmpty() && lastOpened.first == scope->path())
            return lastOpened.second;
        if (const auto found = opened.constFind(scope->path()); found != opened.constEnd()) {
            lastOpened = {scope->path(), *found};
            return *found;
        }
        const bool started = hb::startAccessingSecurityScopedResource(*scope);
        if (started)
            toClose.push_back(*scope);
        else
            hb::stopAccessingSecurityScopedResource(*scope);
        opened.insert(scope->path(), started);
        lastOpened = {scope->path(), started};
        return started;
    }

    // Ends the pass: every opened scope is closed, and the next pass resolves afresh.
    void close()
    {
        for (auto scope = toClose.rbegin(); scope != toClose.rend(); ++scope)
            hb::stopAccessingSecurityScopedResource(*scope);
        toClose.clear();
        opened.clear();
        byItem.clear();
        byFolder.clear();
        volumes.clear();
        chains.clear();
        identities.clear();
        for (auto& recent : recentFolders)
            recent = {};
        lastOpened = {};
        lastVolume = {};
        lastIdentity = {};
    }

    // A destination folder and every folder that really holds it, read once per pass.
    const QList<hb::ItemIdentity>& chainOf(const hb::URL& folder)
    {
        auto found = chains.find(folder.path());
        if (found == chains.end())
            found = chains.insert(folder.path(), hb::ItemIdentity::chain(folder, true));
        return *found;
    }

    // Who a source's folder is (links followed), read once per pass.
    std::optional<hb::ItemIdentity> identityOf(const hb::URL& folder)
    {
        if (lastIdentity.first == folder.path() && !lastIdentity.first.isEmpty())
            return lastIdentity.second;
        auto found = identities.constFind(folder.path());
        if (found == identities.constEnd())
            found = identities.insert(folder.path(), hb::ItemIdentity::of(folder, true));
        lastIdentity = {folder.path(), *found};
        return *found;
    }

    // The volume of a destination folder, read once per pass.
    QVariant volumeOf(const hb::URL& folder)
    {
        if (!lastVolume.first.isEmpty() && lastVolume.first == folder.path())
            return lastVolume.second;
        if (const auto found = volumes.constFind(folder.path()); found != volumes.constEnd()) {
            lastVolume = {folder.path(), *found};
            return *found;
        }
        const QVariant volume = hb::resourceValue(folder, hb::NSURLVolumeIdentifierKey).value_or(QVariant());
        if (volume.isValid()) {
            volumes.insert(folder.path(), volume);
            lastVolume = {folder.path(), volume};
        }
        return volume;
    }
};

HBFileShiftServices::HBFileShiftServices(const QList<hb::URL>& sources, Action action, bool isUndo,
                                         DataSource dataSource)
    : m_identifier(++identifierCounter),
      m_sourceURLS(sources),
      m_dataSourceType(dataSource),
      m_userFileAction(action),
      m_isUndoOperation(isUndo),
      m_scopes(std::make_unique<RunScopes>())
{
    m_progressData.fileAction = action;
}

HBFileShiftServices::~HBFileShiftServices() = default;

std::shared_ptr<HBFileShiftServices> HBFileShiftServices::create(const QList<hb::URL>& sources,
                                                                 const hb::URL& destination, Action action,
                                                                 bool isUndo, DataSource dataSource,
                                                                 HBFileShiftDelegate*)
{
    for (const hb::URL& source : sources)
        if (!source.isFileURL())
            return nullptr;
    std::shared_ptr<HBFileShiftServices> operation(new HBFileShiftServices(sources, action, isUndo, dataSource));
    operation->m_progressData.currentDestinationURL = destination;
    operation->m_destinationURLs = destinationURLs(sources, destination);
    operation->fillInformation();
    operation->m_spacefeasbility = operation->checkSpaceFeasbility(destination);
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
    std::shared_ptr<HBFileShiftServices> operation(new HBFileShiftServices(sources, action, isUndo, dataSource));
    const hb::URL folder = destinations.first().deletingLastPathComponent();
    operation->m_progressData.currentDestinationURL = folder;
    operation->m_destinationURLs = destinations;
    operation->fillInformation();
    operation->m_spacefeasbility = operation->checkSpaceFeasbility(folder);
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

void HBFileShiftServices::fillInformation()
{
    // A move within one volume renames and needs no room: only what will be copied is counted for the
    // space check (a copy, or an item that has to be copied to reach its destination).
    const bool copying = m_userFileAction == Action::copy;
    std::vector<std::pair<std::optional<hb::URL>, std::optional<hb::URL>>> scopes;
    scopes.reserve(m_sourceURLS.size());
    for (qsizetype i = 0; i < m_sourceURLS.size(); ++i)
        scopes.emplace_back(m_scopes->scopeFor(m_sourceURLS[i]),
                            copying ? std::nullopt : m_scopes->scopeFor(m_destinationURLs[i].deletingLastPathComponent()));
    // A volume that cannot be told counts as another one.
    const auto willBeCopied = [&](qsizetype i, const QVariantMap& values) {
        if (copying || !m_scopes->open(scopes[i].second))
            return true;
        const QVariant volume = values.value(hb::NSURLVolumeIdentifierKey);
        return !volume.isValid() || volume != m_scopes->volumeOf(m_destinationURLs[i].deletingLastPathComponent());
    };

    std::uint64_t size = 0;
    std::uint64_t sizeToCopy = 0;
    std::uint64_t count = 0;
    QList<std::pair<hb::URL, bool>> folders;
    static const QStringList keys{hb::NSURLIsDirectoryKey, hb::NSURLTotalFileSizeKey, hb::NSURLVolumeIdentifierKey};
    for (qsizetype i = 0; i < m_sourceURLS.size(); ++i) {
        const std::optional<QVariantMap> values =
            m_scopes->open(scopes[i].first) ? hb::resourceValues(m_sourceURLS[i], keys) : std::nullopt;
        if (values && values->value(hb::NSURLIsDirectoryKey).toBool()) {
            folders.append({m_sourceURLS[i], willBeCopied(i, *values)});
            continue;
        }
        if (values) {
            const std::uint64_t itemSize = values->value(hb::NSURLTotalFileSizeKey).toULongLong();
            size += itemSize;
            if (willBeCopied(i, *values))
                sizeToCopy += itemSize;
        }
        count += 1;
    }
    // The store sizes a folder inside its own scope; ours are closed first (see RunScopes).
    m_scopes->close();
    for (const auto& [folder, copied] : folders) {
        const auto [folderSize, folderCount] = HBURL::shared().directorySize(folder);
        size += folderSize;
        if (copied)
            sizeToCopy += folderSize;
        count += static_cast<std::uint64_t>(std::max<qint64>(0, folderCount));
    }
    m_sizeToCopy = sizeToCopy;
    setNumberInformation(size, count, m_sourceURLS.size());
}

bool HBFileShiftServices::checkSpaceFeasbility(const hb::URL& folder) const
{
    const std::optional<quint64> freeSize = hb::Volumes::freeSize(folder.path());
    if (!freeSize)
        return true;
    return m_sizeToCopy <= *freeSize;
}

bool HBFileShiftServices::hasBeenCancelled() const
{
    std::lock_guard lock(m_monitor);
    return m_hasBeenCancelled;
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
    return m_progressData;
}

void HBFileShiftServices::setOperationState(OperationState state)
{
    std::lock_guard lock(m_monitor);
    m_progressData.operationState = state;
}

OperationState HBFileShiftServices::operationState() const
{
    std::lock_guard lock(m_monitor);
    return m_progressData.operationState;
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

void HBFileShiftServices::setNumberInformation(std::uint64_t totalSize, std::uint64_t allCount,
                                               std::int64_t itemCount)
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
    m_hasBeenCancelled = true;
    if (m_copyManager) {
        m_copyManager->cancelOperation();
        m_copyManager.reset();
    }
    if (m_progressData.operationState == OperationState::running) {
        m_progressData.operationState = OperationState::cancel;
    } else {
        m_fileShiftError = ErrorData::reset();
        m_progressData.operationState = OperationState::complete;
    }
}

void HBFileShiftServices::observeValue(const QString& keyPath, bool newValue)
{
    if (!newValue)
        return;
    std::lock_guard lock(m_monitor);
    OperationState& state = m_progressData.operationState;
    if (keyPath == isExecutingKeyPath) {
        // Cancelled while it waited in the queue: it must not start shifting after all.
        state = (state == OperationState::cancel || m_hasBeenCancelled) ? OperationState::cancel
                                                                         : OperationState::running;
    } else if (keyPath == isFinishedKeyPath) {
        if (m_previousStop == m_sourceURLS.size()) {
            state = OperationState::complete;
        } else if (state == OperationState::cancel) {
            state = OperationState::complete;
            m_hasBeenCancelled = true;
        } else {
            state = OperationState::getInstruction;
        }
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
        if (!m_spacefeasbility)
            m_progressData.operationState = OperationState::cancel;
        // Complete already: stopped while its work item waited in the queue.
        if (m_progressData.operationState == OperationState::complete)
            return;
        if (m_progressData.operationState == OperationState::cancel) {
            m_fileShiftError = ErrorData::reset();
            return;
        }
        m_copyManager.reset();
    }
    m_fileManager = std::make_unique<hb::FileManager>();
    m_fileManager->delegate = this;
    shiftFiles();
    m_scopes->close();
}

UndoInformation HBFileShiftServices::undoInformation() const
{
    return UndoInformation{m_executedURLS, userFileAction()};
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

bool HBFileShiftServices::mustBeCopied(const hb::URL& source, const hb::URL& folder)
{
    static const QStringList keys{hb::NSURLVolumeIdentifierKey, hb::NSURLIsUserImmutableKey,
                                  hb::NSURLIsRegularFileKey};
    const std::optional<QVariantMap> values = hb::resourceValues(source, keys);
    if (!values)
        return true;
    m_sourceKind = values->value(hb::NSURLIsRegularFileKey).toBool() ? hb::ItemKind::regularFile : hb::ItemKind::other;
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

HBFileShiftServices::Placement HBFileShiftServices::placement(const hb::URL& url, std::optional<Instruction> instruction)
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
    m_executedURLS.reserve(m_executedURLS.size() + count - first);
    // Each item's destination folder scope and its own, all resolved before any is opened.
    std::vector<std::pair<std::optional<hb::URL>, std::optional<hb::URL>>> scopes;
    scopes.reserve(static_cast<std::size_t>(std::max<qsizetype>(0, count - first)));
    for (qsizetype i = first; i < count; ++i)
        scopes.emplace_back(m_scopes->scopeFor(m_destinationURLs[i].deletingLastPathComponent()),
                            m_scopes->scopeFor(m_sourceURLS[i]));

    for (qsizetype i = first; i < count; ++i) {
        const hb::URL source = m_sourceURLS[i];
        hb::URL destination = m_destinationURLs[i];
        setProgressFileName(source, destination);

        const auto& [folderScope, itemScope] = scopes[static_cast<std::size_t>(i - first)];
        const bool reachable = m_scopes->open(folderScope) && m_scopes->open(itemScope);
        // By path text, and by what the paths reach: a link may name the source's own folder.
        if (isSamePlace(source, destination) || (reachable && isSamePlaceOnDisk(source, destination))) {
            setFileShiftError(samePlaceError());
            if (!m_firstFailure)
                m_firstFailure = samePlaceError();
            ++m_previousStop;
            continue;
        }

        ErrorData result;
        if (!reachable) {
            result = noPermissionError();
        } else if (lostBytesOfItsName(source)) {
            result = unnamableError(source);
        } else {
            m_sourceKind = hb::ItemKind::unknown;
            const Placement place = placement(destination, rule ? std::optional(rule->instruction) : std::nullopt);
            destination = place.url;
            m_destinationURLs[i] = destination;
            // Another volume, or a locked item, can only be copied: so is the rest of the operation.
            if (userFileAction() != Action::copy && mustBeCopied(source, destination.deletingLastPathComponent())) {
                std::lock_guard lock(m_monitor);
                m_userFileAction = Action::copy;
                m_progressData.fileAction = Action::copy;
            }
            if (place.exists && !rule) {
                setFileShiftError(ErrorData{source, HBError::fileExists, place.isDirectory, placeholderFrameworkError()});
                return;
            }
            result = shiftItem(source, destination, place.isDirectory, place.exists);
        }
        setFileShiftError(result);
        if (result.errorCode != HBError::none && !m_firstFailure)
            m_firstFailure = result;

        if (rule && !rule->applyToAll) {
            setRule(std::nullopt);
            rule.reset();
        }
        const ProgressData progress = getProgressData();
        if (progress.operationState == OperationState::cancel) {
            setFileShiftError(ErrorData::reset());
            return;
        }
        ++m_previousStop;
    }
    if (m_firstFailure)
        setFileShiftError(*m_firstFailure);
}

ErrorData HBFileShiftServices::shiftItem(const hb::URL& source, const hb::URL& destination, bool isDirectory,
                                         bool exists)
{
    const ProgressData progress = getProgressData();
    const std::optional<Instruction> instruction =
        progress.fileShiftRule ? std::optional(progress.fileShiftRule->instruction) : std::nullopt;
    const bool leaveExisting = exists
        && (instruction == Instruction::skip || instruction == Instruction::merge || instruction == Instruction::stop);
    // Whatever replaces an item removes it: never when it is, or holds, the source.
    if (exists && !leaveExisting && containsSource(destination, source))
        return containsSourceError(source);
    switch (progress.fileAction) {
    case Action::copy:
        if (!instruction && progress.operationState == OperationState::cancel)
            return ErrorData::reset();
        if (instruction == Instruction::stop || leaveExisting)
            return ErrorData::reset();
        return copyItem(source, destination, isDirectory, exists && instruction == Instruction::replace);
    case Action::move:
        // Skip leaves the existing item as it is, for a move as for a copy.
        if (leaveExisting)
            return ErrorData::reset();
        return moveItem(source, destination, exists && isDirectory);
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
    // A replacing copy is made beside the existing item and swapped in only once it is complete, so
    // a failed or cancelled copy leaves the existing item as it was.
    const hb::URL target = replacing
        ? destination.deletingLastPathComponent().appendingPathComponent(
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
    if (operationState() == OperationState::cancel && replacing) {
        discardTarget();
        return ErrorData::reset();
    }
    if (replacing) {
        hb::Error replaceError;
        if (!m_fileManager->replaceItem(destination, target, {}, &replaceError)) {
            discardTarget();
            return fileError(replaceError);
        }
    }
    m_executedURLS.append(ShiftedItem{source, destination, Action::copy, ItemFingerprint::of(destination)});
    return ErrorData::reset();
}

ErrorData HBFileShiftServices::moveItem(const hb::URL& source, const hb::URL& destination, bool ontoFolder)
{
    hb::Error error;
    const bool moved = ontoFolder
        ? m_fileManager->replaceItem(destination, source, QStringLiteral("interMediate1xw"), &error)
        : m_fileManager->moveItem(source, destination, &error, m_sourceKind);
    if (!moved)
        return fileError(error);
    m_executedURLS.append(ShiftedItem{source, destination, Action::move, std::nullopt});
    return ErrorData::reset();
}
