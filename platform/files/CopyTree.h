#pragma once

#include "platform/files/CopyFile.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct hb::copyfile_state {
    copyfile_callback_t callback = nullptr;
    void* context = nullptr;
    off_t copied = 0;  // data of the current item
};

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

// Copies one item (a whole tree for a folder) with status reports, keeping the item's data,
// permission bits, owner, times and extended attributes. The caller decides where the finished
// item goes: `commit`, when given, runs before the item's finish report and answers 0 or an
// error number.
class CopyTree {
public:
    CopyTree(copyfile_state* state, copyfile_flags_t flags) : m_state(state), m_flags(flags) {}

    Outcome copy(const Place& source, const struct stat& status, const Place& destination,
                 const std::string& reported, const std::function<int()>& commit);
    int error() const { return m_error; }  // of an aborted or left-out copy

    int report(int what, int stage, const std::string& source, const std::string& destination);
    int reportError(int what, const std::string& source, const std::string& destination, int error);

private:
    Outcome copyFolder(const Place& source, const Place& destination, const std::string& reported);
    Outcome copyEntries(int in, const Place& source, int out, const Place& destination, const std::string& reported);
    Outcome copyFile(const Place& source, const Place& destination, const std::string& reported);
    Outcome copyData(int in, int out, const struct stat& status, const std::string& source,
                     const std::string& reported);
    Outcome copyLink(const Place& source, const struct stat& status, const Place& destination,
                     const std::string& reported);
    Outcome copySpecial(const Place& source, const struct stat& status, const Place& destination,
                        const std::string& reported);
    // Owner, extended attributes, permission bits and times; by descriptor where one is open (>= 0).
    Outcome copyMetadata(const Place& source, int sourceFd, const struct stat& status, const Place& destination,
                         int fd, const std::string& reported);
    Outcome copyAttributes(const Place& source, int sourceFd, const Place& destination, int fd,
                           const std::string& reported);
    long readWrite(int in, int out, std::size_t length);
    Outcome fail(int error);

    copyfile_state* m_state;
    copyfile_flags_t m_flags;
    int m_error = 0;
    // The copy's own top folder: a copy into the source's own tree must not copy itself.
    dev_t m_topDevice = 0;
    ino_t m_topInode = 0;
    // The destination is one file system; data paths that fail for a source file system are not
    // tried again until the source file system changes.
    dev_t m_sourceDevice = 0;
    bool m_cloneFails = false;
    bool m_rangeFails = false;
    std::unique_ptr<char[]> m_buffer;
    std::vector<char> m_names;
    std::vector<char> m_value;
};

}  // namespace hb::copying
