#pragma once

#include <cstdint>
#include <functional>

// Our copyfile: copies a file or (with COPYFILE_RECURSIVE) a whole tree with a status callback.
// Data by copy_file_range in chunks (FICLONE where the file system supports it, read/write fallback),
// extended attributes, permission bits, times and ownership where permitted; links are copied as links.
// The copy of one item is written under a temporary sibling name in the destination folder and renamed
// into place only when complete, so a failed or cancelled copy leaves nothing behind and never touches
// what was at the destination; leftovers of a killed process are removed by the next copy into that folder.
namespace hb {

using copyfile_flags_t = std::uint32_t;

enum : copyfile_flags_t {
    COPYFILE_ACL = 1 << 0,
    COPYFILE_STAT = 1 << 1,
    COPYFILE_XATTR = 1 << 2,
    COPYFILE_DATA = 1 << 3,
    COPYFILE_SECURITY = COPYFILE_STAT | COPYFILE_ACL,
    COPYFILE_METADATA = COPYFILE_SECURITY | COPYFILE_XATTR,
    COPYFILE_ALL = COPYFILE_METADATA | COPYFILE_DATA,
    COPYFILE_RECURSIVE = 1 << 15,
};

// What a status report is about.
enum : int {
    COPYFILE_RECURSE_FILE = 1,
    COPYFILE_RECURSE_DIR = 2,
    COPYFILE_RECURSE_DIR_CLEANUP = 3,
    COPYFILE_COPY_DATA = 4,
    COPYFILE_COPY_XATTR = 5,
};
// Stage of a report.
enum : int { COPYFILE_START = 1, COPYFILE_FINISH = 2, COPYFILE_ERR = 3, COPYFILE_PROGRESS = 4 };
// Answers of the callback.
enum : int { COPYFILE_CONTINUE = 0, COPYFILE_SKIP = 1, COPYFILE_QUIT = 2 };

enum copyfile_state_flag : std::uint32_t {
    COPYFILE_STATE_STATUS_CB = 6,
    COPYFILE_STATE_STATUS_CTX = 7,
    COPYFILE_STATE_COPIED = 8,  // bytes of the current item's data copied so far (off_t)
};

struct copyfile_state;
using copyfile_state_t = copyfile_state*;
// what, stage, state, source path, destination path, context -> answer. errno holds the error number
// of a COPYFILE_ERR report.
using copyfile_callback_t = int (*)(int, int, copyfile_state_t, const char*, const char*, void*);

copyfile_state_t copyfile_state_alloc();
int copyfile_state_free(copyfile_state_t state);
int copyfile_state_set(copyfile_state_t state, std::uint32_t flag, const void* value);
int copyfile_state_get(copyfile_state_t state, std::uint32_t flag, void* result);

// 0 on success; -1 with errno set on failure or when the callback quit (errno ECANCELED).
int copyfile(const char* from, const char* to, copyfile_state_t state, copyfile_flags_t flags);

}  // namespace hb
