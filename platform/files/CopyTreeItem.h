#pragma once

#include "platform/files/CopyFile.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace hb::copying {

// One side of an item: the folder it lies in, its name there, and its path (for reports and for
// items that are not opened: links and special files).
struct Place {
    int directory;
    std::string name;
    std::string path;
};

enum class Outcome {
    done,
    skipped,    // the callback skipped it; nothing was reported as an error
    leftOut,    // it failed, was reported, and the callback let the copy go on without it
    aborted,    // it failed, was reported, and the callback quit
    cancelled,  // the callback quit at another report
    failed,     // it failed and has not been reported yet
};

// Data between two progress reports: a file no larger reports its data once.
inline constexpr std::size_t kDataChunk = 8 << 20;

// Opens a regular file of `place` for copying: never through a link, never waiting on a pipe or
// device. -1 with errno set on failure.
int openSource(const Place& place);

// Answers other than continue and skip stop the copy.
Outcome fromAnswer(int answer);

// Where the reports about one item go; each answers as the copy's callback does.
class ItemReports {
public:
    virtual ~ItemReports() = default;
    // RECURSE_* START/FINISH, and COPY_XATTR START/FINISH with the attribute's name.
    virtual int report(int what, int stage, const char* attribute = nullptr) = 0;
    // COPY_DATA PROGRESS with the item's data copied so far.
    virtual int progress(off_t copied) = 0;
    virtual int error(int what, int error) = 0;
};

// Copies the data and metadata of single items: files, links and special files, and the metadata of
// a folder. Keeps the buffers and the data paths that failed, so one is used by one thread at a time.
// Data goes the cheapest way the two file systems offer: a clone, else the kernel's copy within a
// file system, else the kernel's copy from file to file, else through a buffer; holes stay holes.
class ItemCopy {
public:
    explicit ItemCopy(copyfile_flags_t flags) : m_flags(flags) {}

    Outcome copyFile(const Place& source, const Place& destination, ItemReports& reports);
    // The same for a source already opened with openSource (`in`, of `status`); `in` stays open.
    Outcome copyFile(const Place& source, int in, const struct stat& status, const Place& destination,
                     ItemReports& reports);
    // A regular file into `out`, an open file of no name yet (which stays open).
    Outcome copyFileInto(const Place& source, int out, ItemReports& reports);
    Outcome copyLink(const Place& source, const struct stat& status, const Place& destination, ItemReports& reports);
    Outcome copySpecial(const Place& source, const struct stat& status, const Place& destination, ItemReports& reports);
    // Owner, extended attributes, permission bits and times; by descriptor where one is open (>= 0).
    Outcome copyMetadata(const Place& source, int sourceFd, const struct stat& status, const Place& destination, int fd,
                         ItemReports& reports);
    int error() const { return m_error; }  // of a failed step
    Outcome fail(int error);

private:
    // Data and metadata of the regular file `in` into `out`.
    Outcome writeFile(const Place& source, int in, const struct stat& status, int out, const Place& destination,
                      ItemReports& reports);
    Outcome copyData(int in, int out, const struct stat& status, ItemReports& reports);
    // Up to `length` bytes from `offset` of `in` to the same offset of `out`, whose file position is
    // `outPosition`; the bytes moved (0 at the end of `in`), or -1 with errno set.
    long copyChunk(int in, int out, off_t offset, std::size_t length, off_t& outPosition);
    Outcome copyAttributes(const Place& source, int sourceFd, const Place& destination, int fd, ItemReports& reports);
    long readWrite(int in, int out, off_t offset, std::size_t length);

    copyfile_flags_t m_flags;
    int m_error = 0;
    // The destination is one file system; data paths that fail for a source file system are not
    // tried again until the source file system changes.
    dev_t m_sourceDevice = 0;
    bool m_cloneFails = false;
    bool m_rangeFails = false;
    bool m_sendFails = false;
    std::unique_ptr<char[]> m_buffer;
    std::vector<char> m_names;
    std::vector<char> m_value;
};

// The item as "/proc/self/fd/<folder>/<name>": the l*xattr calls judge only its final component
// themselves, whatever the depth of the folder.
std::string shortPath(const Place& place);

}  // namespace hb::copying
