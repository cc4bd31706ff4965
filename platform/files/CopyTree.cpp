#include "platform/files/CopyTree.h"

#include "platform/files/CopyPartial.h"
#include "platform/files/CopyTreeWorkers.h"
#include "platform/files/Descriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace hb::copying {

namespace {

// Entries of one folder that a worker takes at once: workers then write into folders of their own
// (but for the parts of a larger folder), rather than wait for the same one.
constexpr std::size_t kBatch = 1024;
// Files of a batch opened ahead of the one being copied, their data asked for: the disk reads many
// files at a time while the workers need only a few threads. Each holds a descriptor meanwhile.
constexpr std::size_t kAhead = 32;
// Files up to this size are read ahead whole.
constexpr off_t kReadAhead = 1 << 20;
// Folders read to the end but still waiting for their entries, each holding two descriptors.
constexpr int kWaitingFolders = 128;

// Workers beside the walker: with the reads of a batch in flight together, a few keep the disk
// busy; one processor stays with the rest of the program.
int workerCount()
{
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(processors - 1, 1, 4);
}

bool goesOn(int answer)
{
    return answer == COPYFILE_CONTINUE || answer == COPYFILE_SKIP;
}

}  // namespace

struct CopyTree::Entry {
    std::string name;
    unsigned char type;  // from the folder's listing; DT_UNKNOWN when it did not say
};

// A folder being copied: open on both sides until its entries are done and its metadata is set.
struct CopyTree::Folder {
    Folder(CopyTree& owner, std::shared_ptr<Folder> parentFolder, Place sourcePlace, Place destinationPlace,
           std::string reportedPath)
        : tree(owner),
          parent(std::move(parentFolder)),
          source(std::move(sourcePlace)),
          destination(std::move(destinationPlace)),
          reported(std::move(reportedPath))
    {
        std::lock_guard lock(tree.m_folderMutex);
        ++tree.m_openFolders;
    }
    ~Folder()
    {
        if (in >= 0)
            close(in);
        if (out >= 0)
            close(out);
        {
            std::lock_guard lock(tree.m_folderMutex);
            --tree.m_openFolders;
        }
        tree.m_folderClosed.notify_all();
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    CopyTree& tree;
    const std::shared_ptr<Folder> parent;
    const Place source;
    const Place destination;
    const std::string reported;
    struct stat status {};
    int in = -1;
    int out = -1;
    // Entries not yet done, and one for the walker while it reads the folder.
    std::atomic<int> pending{1};
};

// Reports that reach the callback as they are made (the report lock held).
class CopyTree::LiveReports : public ItemReports {
public:
    LiveReports(CopyTree& tree, std::string source, std::string reported)
        : m_tree(tree), m_source(std::move(source)), m_reported(std::move(reported))
    {
    }
    int report(int what, int stage, const char*) override
    {
        if (stage == COPYFILE_START && what != COPYFILE_COPY_XATTR)
            m_tree.m_state->copied = 0;
        return m_tree.report(what, stage, m_source, m_reported);
    }
    int progress(off_t copied) override
    {
        m_tree.m_state->copied = copied;
        return m_tree.report(COPYFILE_COPY_DATA, COPYFILE_PROGRESS, m_source, m_reported);
    }
    int error(int what, int error) override
    {
        m_tree.m_error = error;
        return m_tree.reportError(what, m_source, m_reported, error);
    }

private:
    CopyTree& m_tree;
    const std::string m_source;
    const std::string m_reported;
};

// Reports of an entry copied on a worker, kept until it is written and answered with continue
// meanwhile; `deliver` then hands them to the callback and applies its answers.
class CopyTree::HeldReports : public ItemReports {
public:
    int report(int what, int stage, const char* attribute) override
    {
        if (stage == COPYFILE_START && what != COPYFILE_COPY_XATTR)
            m_copied = 0;
        m_reports.push_back({what, stage, m_copied, 0, attribute ? attribute : ""});
        return COPYFILE_CONTINUE;
    }
    int progress(off_t copied) override
    {
        m_copied = copied;
        m_reports.push_back({COPYFILE_COPY_DATA, COPYFILE_PROGRESS, copied, 0, {}});
        return COPYFILE_CONTINUE;
    }
    int error(int what, int error) override
    {
        m_reports.push_back({what, COPYFILE_ERR, m_copied, error, {}});
        return COPYFILE_CONTINUE;
    }

    // With the report lock held.
    Outcome deliver(CopyTree& tree, const Place& destination, const std::string& source, const std::string& reported)
    {
        for (std::size_t i = 0; i < m_reports.size(); ++i) {
            const Held& held = m_reports[i];
            if (tree.stopped())
                return Outcome::cancelled;
            tree.m_state->copied = held.copied;
            if (held.stage == COPYFILE_ERR) {
                tree.m_error = held.error;
                if (goesOn(tree.reportError(held.what, source, reported, held.error)))
                    return Outcome::leftOut;
                return tree.stop(Outcome::aborted, held.error);
            }
            const Outcome answer = fromAnswer(tree.report(held.what, held.stage, source, reported));
            if (answer == Outcome::cancelled)
                return tree.stop(Outcome::cancelled, 0);
            if (answer != Outcome::skipped)
                continue;
            if (held.what == COPYFILE_COPY_XATTR && held.stage == COPYFILE_START) {
                // The attribute is left out, and so is its finish report.
                lremovexattr(shortPath(destination).c_str(), held.attribute.c_str());
                if (i + 1 < m_reports.size() && m_reports[i + 1].what == COPYFILE_COPY_XATTR
                    && m_reports[i + 1].stage == COPYFILE_FINISH)
                    ++i;
            } else if (held.stage == COPYFILE_START || held.what == COPYFILE_COPY_DATA) {
                removeItem(destination.directory, destination.name);
                return Outcome::skipped;
            }
        }
        return Outcome::done;
    }

private:
    struct Held {
        int what;
        int stage;
        off_t copied;
        int error;
        std::string attribute;
    };
    std::vector<Held> m_reports;
    off_t m_copied = 0;
};

CopyTree::CopyTree(copyfile_state* state, copyfile_flags_t flags) : m_state(state), m_flags(flags), m_copier(flags) {}

CopyTree::~CopyTree() = default;

int CopyTree::report(int what, int stage, const std::string& source, const std::string& destination)
{
    if (!m_state->callback)
        return COPYFILE_CONTINUE;
    return m_state->callback(what, stage, m_state, source.c_str(), destination.c_str(), m_state->context);
}

int CopyTree::reportError(int what, const std::string& source, const std::string& destination, int error)
{
    if (!m_state->callback)
        return COPYFILE_QUIT;
    errno = error;
    return m_state->callback(what, COPYFILE_ERR, m_state, source.c_str(), destination.c_str(), m_state->context);
}

Outcome CopyTree::stop(Outcome outcome, int error)
{
    if (!stopped()) {
        m_stopOutcome = outcome;
        if (outcome == Outcome::aborted)
            m_error = error;
        m_stopped.store(true, std::memory_order_relaxed);
        m_folderDone.notify_all();
        std::lock_guard lock(m_folderMutex);
        m_folderClosed.notify_all();
    }
    return outcome;
}

Outcome CopyTree::copy(const Place& source, const struct stat& status, const Place& destination,
                       const std::string& reported, const std::function<int()>& commit)
{
    LiveReports live(*this, source.path, reported);
    ItemReports& reports = live;
    if (!S_ISDIR(status.st_mode))
        return copyItem(source, -1, status, destination, reports, m_copier, commit);

    Outcome outcome = fromAnswer(reports.report(COPYFILE_RECURSE_DIR, COPYFILE_START));
    if (outcome != Outcome::done)
        return outcome;
    const auto top = std::make_shared<Folder>(*this, nullptr, source, destination, reported);
    outcome = openFolder(*top);
    if (outcome == Outcome::done && (m_flags & COPYFILE_RECURSIVE))
        outcome = copyEntries(top);
    {
        std::unique_lock lock(m_reporting);
        if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
            stop(outcome, m_error);
        entryDone(*top, m_copier);
        m_folderDone.wait(lock, [&] { return stopped() || top->pending == 0; });
        if (stopped())
            outcome = m_stopOutcome;
    }
    if (m_workers)
        m_workers->stop();  // nothing may write into the tree once this returns
    if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
        return outcome;

    if (outcome == Outcome::done)
        outcome = cleanUp(*top, reports, m_copier);
    if (outcome == Outcome::done && commit) {
        if (const int error = commit())
            outcome = m_copier.fail(error);
    }
    return conclude(COPYFILE_RECURSE_DIR, outcome, destination, reports, m_copier, bool(commit));
}

Outcome CopyTree::copyUnnamed(const Place& source, int out, const std::string& reported,
                              const std::function<int()>& commit)
{
    LiveReports live(*this, source.path, reported);
    ItemReports& reports = live;
    Outcome outcome = fromAnswer(reports.report(COPYFILE_RECURSE_FILE, COPYFILE_START));
    if (outcome != Outcome::done)
        return outcome;
    outcome = m_copier.copyFileInto(source, out, reports);
    if (outcome == Outcome::done) {
        if (const int error = commit())
            outcome = m_copier.fail(error);
    }
    return conclude(COPYFILE_RECURSE_FILE, outcome, Place{AT_FDCWD, {}, {}}, reports, m_copier, true);
}

Outcome CopyTree::copyItem(const Place& source, int in, const struct stat& status, const Place& destination,
                           ItemReports& reports, ItemCopy& copier, const std::function<int()>& commit)
{
    Outcome outcome = fromAnswer(reports.report(COPYFILE_RECURSE_FILE, COPYFILE_START));
    if (outcome != Outcome::done)
        return outcome;
    if (S_ISREG(status.st_mode))
        outcome = in >= 0 ? copier.copyFile(source, in, status, destination, reports)
                          : copier.copyFile(source, destination, reports);
    else if (S_ISLNK(status.st_mode))
        outcome = copier.copyLink(source, status, destination, reports);
    else if (S_ISDIR(status.st_mode))
        outcome = copier.fail(EISDIR);  // an entry that became a folder after its folder was read
    else
        outcome = copier.copySpecial(source, status, destination, reports);
    if (outcome == Outcome::done && commit) {
        if (const int error = commit())
            outcome = copier.fail(error);
    }
    return conclude(COPYFILE_RECURSE_FILE, outcome, destination, reports, copier, bool(commit));
}

Outcome CopyTree::conclude(int what, Outcome outcome, const Place& destination, ItemReports& reports, ItemCopy& copier,
                           bool placed)
{
    const auto discard = [&] {
        if (!destination.name.empty())
            removeItem(destination.directory, destination.name);
    };
    switch (outcome) {
    case Outcome::done:
        break;
    case Outcome::failed:
        discard();
        return goesOn(reports.error(what, copier.error())) ? Outcome::leftOut : Outcome::aborted;
    case Outcome::skipped:
        discard();
        return outcome;
    default:
        return outcome;
    }
    // Once in place, the item stays: a quit at its finish report only stops what follows.
    const Outcome answer = fromAnswer(reports.report(what, COPYFILE_FINISH));
    return answer == Outcome::cancelled && !placed ? Outcome::cancelled : Outcome::done;
}

Outcome CopyTree::openFolder(Folder& folder)
{
    const Place& source = folder.source;
    const Place& destination = folder.destination;
    // Private until finished, so a read-only source folder can still be filled.
    if (mkdirat(destination.directory, destination.name.c_str(), S_IRWXU) != 0)
        return m_copier.fail(errno);
    folder.out = openat(destination.directory, destination.name.c_str(),
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder.out < 0)
        return m_copier.fail(errno);
    if (m_topInode == 0) {
        struct stat created;
        if (fstat(folder.out, &created) != 0)
            return m_copier.fail(errno);
        m_topDevice = created.st_dev;
        m_topInode = created.st_ino;
    }
    folder.in = openat(source.directory, source.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder.in < 0)
        return m_copier.fail(errno);
    if (fstat(folder.in, &folder.status) != 0)
        return m_copier.fail(errno);
    return Outcome::done;
}

Outcome CopyTree::cleanUp(Folder& folder, ItemReports& reports, ItemCopy& copier)
{
    if (fromAnswer(reports.report(COPYFILE_RECURSE_DIR_CLEANUP, COPYFILE_START)) == Outcome::cancelled)
        return Outcome::cancelled;
    const Outcome outcome = copier.copyMetadata(folder.source, folder.in, folder.status, folder.destination, folder.out,
                                                reports);
    if (outcome != Outcome::done)
        return outcome;
    if (fromAnswer(reports.report(COPYFILE_RECURSE_DIR_CLEANUP, COPYFILE_FINISH)) == Outcome::cancelled)
        return Outcome::cancelled;
    return Outcome::done;
}

Outcome CopyTree::copyEntries(const std::shared_ptr<Folder>& folder)
{
    std::vector<Entry> entries;
    {
        const int listing = dup(folder->in);
        DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
        if (!dir) {
            const int error = errno;
            if (listing >= 0)
                close(listing);
            return m_copier.fail(error);
        }
        errno = 0;
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                entries.push_back({entry->d_name, entry->d_type});
            errno = 0;
        }
        const int error = errno;
        closedir(dir);
        if (error != 0)
            return m_copier.fail(error);
    }

    // The other entries go to the workers first, so they copy while the walker goes down.
    std::vector<Entry> batch;
    std::vector<std::string> folders;
    for (Entry& entry : entries) {
        if (stopped())
            return Outcome::cancelled;
        // Files are looked at by the workers; the walker needs to know only the folders.
        if (entry.type == DT_UNKNOWN || entry.type == DT_DIR) {
            struct stat status;
            if (fstatat(folder->in, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
                const int error = errno;
                if (error == ENOENT)
                    continue;  // gone since the folder was read
                std::lock_guard lock(m_reporting);
                LiveReports reports(*this, folder->source.path + '/' + entry.name, folder->reported + '/' + entry.name);
                if (!goesOn(reports.error(COPYFILE_RECURSE_FILE, error)))
                    return stop(Outcome::aborted, error);
                continue;
            }
            entry.type = IFTODT(status.st_mode);
            if (entry.type == DT_DIR && status.st_dev == m_topDevice && status.st_ino == m_topInode)
                continue;
        }
        if (entry.type == DT_DIR) {
            folders.push_back(std::move(entry.name));
            continue;
        }
        batch.push_back(std::move(entry));
        if (batch.size() == kBatch)
            addBatch(folder, std::exchange(batch, {}));
    }
    if (!batch.empty())
        addBatch(folder, std::move(batch));
    entries.clear();

    for (const std::string& name : folders) {
        if (stopped())
            return Outcome::cancelled;
        const Outcome outcome = enterFolder(folder, name);
        if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
            return outcome;
    }
    return Outcome::done;
}

void CopyTree::addBatch(const std::shared_ptr<Folder>& folder, std::vector<Entry> batch)
{
    if (!m_workers)
        m_workers = std::make_unique<CopyWorkers>(m_flags, workerCount());
    ++folder->pending;
    m_workers->add([this, folder, batch = std::move(batch)](ItemCopy& copier) { copyBatch(*folder, batch, copier); });
}

Outcome CopyTree::enterFolder(const std::shared_ptr<Folder>& parent, const std::string& name)
{
    {
        std::unique_lock lock(m_folderMutex);
        m_folderClosed.wait(lock, [&] { return stopped() || m_openFolders - m_depth < kWaitingFolders; });
    }
    const auto folder = std::make_shared<Folder>(
        *this, parent, Place{parent->in, name, parent->source.path + '/' + name},
        Place{parent->out, name, parent->destination.path + '/' + name}, parent->reported + '/' + name);
    LiveReports live(*this, folder->source.path, folder->reported);
    ItemReports& reports = live;
    {
        std::lock_guard lock(m_reporting);
        if (stopped())
            return Outcome::cancelled;
        const Outcome answer = fromAnswer(reports.report(COPYFILE_RECURSE_DIR, COPYFILE_START));
        if (answer == Outcome::cancelled)
            return stop(answer, 0);
        if (answer == Outcome::skipped)
            return answer;
    }
    Outcome outcome = openFolder(*folder);
    if (outcome == Outcome::done && (m_flags & COPYFILE_RECURSIVE)) {
        ++m_depth;
        outcome = copyEntries(folder);
        --m_depth;
    }
    std::lock_guard lock(m_reporting);
    if (stopped())
        return Outcome::cancelled;
    if (outcome == Outcome::done) {
        ++parent->pending;
        entryDone(*folder, m_copier);
        return stopped() ? m_stopOutcome : Outcome::done;
    }
    // Failed before any of its entries was handed out.
    outcome = conclude(COPYFILE_RECURSE_DIR, outcome, folder->destination, reports, m_copier, false);
    if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
        return stop(outcome, m_error);
    return outcome;
}

// One entry of a batch, from its opening to its reports.
struct CopyTree::Opened {
    Descriptor fd;  // a regular file, open until it is copied
    struct stat status {};
    int error = 0;  // of looking at it
    bool large() const { return S_ISREG(status.st_mode) && status.st_size > off_t(kDataChunk); }
};

void CopyTree::openEntry(const Folder& folder, const Entry& entry, Opened& item)
{
    if (entry.type == DT_REG) {
        item.fd = Descriptor(openSource(Place{folder.in, entry.name, {}}));
        if (item.fd.isOpen()) {
            if (fstat(item.fd.get(), &item.status) != 0)
                item.error = errno;
            else if (!S_ISREG(item.status.st_mode))
                item.fd = Descriptor();  // replaced meanwhile: copied as what it is now
            else if (item.status.st_size > 0 && item.status.st_size <= kReadAhead)
                posix_fadvise(item.fd.get(), 0, item.status.st_size, POSIX_FADV_WILLNEED);
            return;
        }
        if (errno == ENOENT) {
            item.error = errno;
            return;
        }
        // Anything else is looked at again: a link now, or a file that fails as it is copied.
    }
    if (fstatat(folder.in, entry.name.c_str(), &item.status, AT_SYMLINK_NOFOLLOW) != 0)
        item.error = errno;
}

void CopyTree::copyBatch(Folder& folder, const std::vector<Entry>& batch, ItemCopy& copier)
{
    std::vector<Opened> opened(batch.size());
    std::vector<HeldReports> held(batch.size());
    std::size_t nextToOpen = 0;
    std::size_t nextToReport = 0;
    off_t heldData = 0;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (stopped())
            return;
        for (; nextToOpen < std::min(batch.size(), i + kAhead); ++nextToOpen)
            openEntry(folder, batch[nextToOpen], opened[nextToOpen]);
        // Small entries are copied with their reports held; a large one shows its progress as it goes,
        // under the report lock.
        Opened& item = opened[i];
        if (!item.error && !item.large()) {
            copyItem(Place{folder.in, batch[i].name, {}}, item.fd.get(), item.status,
                     Place{folder.out, batch[i].name, {}}, held[i], copier, {});
            item.fd = Descriptor();
            heldData += item.status.st_size;
        }
        // Reports are held for a few entries, or for about a chunk of data, at a time.
        const bool last = i + 1 == batch.size();
        if (last || item.large() || i + 1 - nextToReport >= kAhead || heldData >= off_t(kDataChunk)) {
            if (!deliver(folder, batch, opened, held, nextToReport, i + 1, copier))
                return;
            nextToReport = i + 1;
            heldData = 0;
        }
    }
}

bool CopyTree::deliver(Folder& folder, const std::vector<Entry>& batch, std::vector<Opened>& opened,
                       std::vector<HeldReports>& held, std::size_t from, std::size_t to, ItemCopy& copier)
{
    std::lock_guard lock(m_reporting);
    for (std::size_t i = from; i < to; ++i) {
        if (stopped())
            return false;
        Opened& item = opened[i];
        const std::string& name = batch[i].name;
        const Place source{folder.in, name, folder.source.path + '/' + name};
        const Place destination{folder.out, name, {}};
        const std::string reported = folder.reported + '/' + name;
        Outcome outcome;
        if (item.error == ENOENT) {
            continue;  // gone since the folder was read: nothing to copy or report
        } else if (item.error) {
            LiveReports reports(*this, source.path, reported);
            outcome = goesOn(reports.error(COPYFILE_RECURSE_FILE, item.error)) ? Outcome::leftOut
                                                                               : stop(Outcome::aborted, item.error);
        } else if (item.large()) {
            LiveReports reports(*this, source.path, reported);
            outcome = copyItem(source, item.fd.get(), item.status, destination, reports, copier, {});
            item.fd = Descriptor();
            if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
                stop(outcome, m_error);
        } else {
            outcome = held[i].deliver(*this, destination, source.path, reported);
            held[i] = HeldReports();
        }
        if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
            return false;
    }
    if (to == batch.size())
        entryDone(folder, copier);
    return true;
}

void CopyTree::entryDone(Folder& folder, ItemCopy& copier)
{
    if (stopped() || --folder.pending > 0)
        return;
    if (!folder.parent) {
        m_folderDone.notify_all();  // the walker finishes the top folder itself
        return;
    }
    LiveReports reports(*this, folder.source.path, folder.reported);
    const Outcome outcome = conclude(COPYFILE_RECURSE_DIR, cleanUp(folder, reports, copier), folder.destination,
                                     reports, copier, false);
    if (outcome == Outcome::aborted || outcome == Outcome::cancelled) {
        stop(outcome, m_error);
        return;
    }
    entryDone(*folder.parent, copier);
}

}  // namespace hb::copying
