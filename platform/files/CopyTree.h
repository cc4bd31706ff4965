#pragma once

#include "platform/files/CopyFile.h"
#include "platform/files/CopyTreeItem.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct hb::copyfile_state {
    copyfile_callback_t callback = nullptr;
    void* context = nullptr;
    off_t copied = 0;  // data of the current item
};

namespace hb::copying {

class CopyWorkers;

// Copies one item (a whole tree for a folder) with status reports, keeping the item's data,
// permission bits, owner, times and extended attributes. The caller decides where the finished
// item goes: `commit`, when given, runs before the item's finish report and answers 0 or an
// error number.
// The walker creates a tree's folders in order and hands the other entries of each folder, in
// batches, to a few worker threads that run at a lower priority than the rest of the program.
// Reports stay one at a time, and those of one entry come together: an entry copied by a worker is
// reported once it is written, and the answers are then applied to it (a skipped entry is removed).
// A file whose data takes more than one report is reported while it is copied. A folder's metadata
// is set, and the folder reported finished, once all its entries are done.
class CopyTree {
public:
    CopyTree(copyfile_state* state, copyfile_flags_t flags);
    ~CopyTree();

    Outcome copy(const Place& source, const struct stat& status, const Place& destination, const std::string& reported,
                 const std::function<int()>& commit);
    // A regular file into `out`, an open file of no name yet that `commit` names: a copy that fails
    // or is stopped goes with its descriptor, and so leaves nothing behind.
    Outcome copyUnnamed(const Place& source, int out, const std::string& reported, const std::function<int()>& commit);
    int error() const { return m_error; }  // of an aborted or left-out copy

    int report(int what, int stage, const std::string& source, const std::string& destination);
    int reportError(int what, const std::string& source, const std::string& destination, int error);

private:
    struct Folder;
    struct Entry;
    struct Opened;
    class LiveReports;
    class HeldReports;

    // Reports, copies and concludes one item that is not a folder, as `reports` answer; a regular
    // file is read from `in` when it is open (>= 0).
    Outcome copyItem(const Place& source, int in, const struct stat& status, const Place& destination,
                     ItemReports& reports, ItemCopy& copier, const std::function<int()>& commit);
    // The finish or error report of an item, by its outcome so far; a failed or skipped item goes
    // (one without a name has nothing to remove).
    Outcome conclude(int what, Outcome outcome, const Place& destination, ItemReports& reports, ItemCopy& copier,
                     bool placed);
    // On the walker: creates the folder and opens both sides.
    Outcome openFolder(Folder& folder);
    // The folder's own metadata, between its clean-up reports.
    Outcome cleanUp(Folder& folder, ItemReports& reports, ItemCopy& copier);
    // On the walker: reads the folder, hands out its other entries and enters its subfolders.
    Outcome copyEntries(const std::shared_ptr<Folder>& folder);
    Outcome enterFolder(const std::shared_ptr<Folder>& parent, const std::string& name);
    void addBatch(const std::shared_ptr<Folder>& folder, std::vector<Entry> batch);
    // On a worker: entries of one folder, counted as one entry of it.
    void copyBatch(Folder& folder, const std::vector<Entry>& batch, ItemCopy& copier);
    void openEntry(const Folder& folder, const Entry& entry, Opened& item);
    // Takes the report lock: the reports of the entries [from, to) of a batch, copying a large one
    // meanwhile; false when the copy stops.
    bool deliver(Folder& folder, const std::vector<Entry>& batch, std::vector<Opened>& opened,
                 std::vector<HeldReports>& held, std::size_t from, std::size_t to, ItemCopy& copier);
    // With the report lock held: an entry of `folder` is done; the last one finishes the folder.
    void entryDone(Folder& folder, ItemCopy& copier);
    // With the report lock held: the copy stops; the first reason stays.
    Outcome stop(Outcome outcome, int error);
    bool stopped() const { return m_stopped.load(std::memory_order_relaxed); }

    copyfile_state* m_state;
    copyfile_flags_t m_flags;
    int m_error = 0;
    ItemCopy m_copier;  // of the walker
    std::unique_ptr<CopyWorkers> m_workers;
    // Reports go one at a time; folder counts and the reason to stop are kept under the same lock.
    std::mutex m_reporting;
    std::condition_variable m_folderDone;
    std::atomic<bool> m_stopped{false};
    Outcome m_stopOutcome = Outcome::done;
    // Open folders, which hold descriptors: the walker waits while too many wait for their entries.
    std::mutex m_folderMutex;
    std::condition_variable m_folderClosed;
    int m_openFolders = 0;
    int m_depth = 0;  // of the walker
    // The copy's own top folder: a copy into the source's own tree must not copy itself.
    dev_t m_topDevice = 0;
    ino_t m_topInode = 0;
};

}  // namespace hb::copying
