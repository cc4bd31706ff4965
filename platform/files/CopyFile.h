#pragma once

#include <cstdint>

// Our copyfile: copies a file or (with COPYFILE_RECURSIVE) a whole tree with a status callback.
// Data by the kernel: a clone where the file system offers it, else copy_file_range in chunks, else
// (between file systems) sendfile in chunks, a buffer only where none of these works; holes stay
// holes. Extended attributes (access lists come with them), permission bits, times and ownership
// where permitted; links are copied as links, never followed. The worker threads of a tree copy, and
// the I/O of a large file's data, go at a lower priority than the rest of the program.
// The copy of one item is written as a file of no name (where the file system makes them) or under a
// temporary sibling name in the destination folder, and named or renamed into place only when
// complete, so a failed or cancelled copy leaves nothing behind and never touches what was at the
// destination; leftovers of a killed process are removed by the next copy into that folder.
// The source must be readable and the destination folder writable in the access registry (else EACCES).
namespace hb {

using copyfile_flags_t = std::uint32_t;

// What is copied besides the item itself (permission bits always come along).
enum : copyfile_flags_t {
    COPYFILE_ACL = 1 << 0,    // access lists (system.posix_acl_* attributes)
    COPYFILE_STAT = 1 << 1,   // owner and times
    COPYFILE_XATTR = 1 << 2,  // the other extended attributes
    COPYFILE_DATA = 1 << 3,
    COPYFILE_SECURITY = COPYFILE_STAT | COPYFILE_ACL,
    COPYFILE_METADATA = COPYFILE_SECURITY | COPYFILE_XATTR,
    COPYFILE_ALL = COPYFILE_METADATA | COPYFILE_DATA,
    COPYFILE_RECURSIVE = 1 << 15,
};

// What a status report is about. For a tree: RECURSE_DIR START for each folder, then its entries,
// then RECURSE_DIR_CLEANUP START/FINISH around the folder's own metadata, then RECURSE_DIR FINISH
// (once per folder, when its contents are done). RECURSE_FILE START/FINISH for every other item
// (links and special files included), with COPY_DATA PROGRESS after each chunk of data (one report for
// a cloned file) and COPY_XATTR START/FINISH around each extended attribute. The top item's finish
// report comes after it was put in place.
enum : int {
    COPYFILE_RECURSE_FILE = 1,
    COPYFILE_RECURSE_DIR = 2,
    COPYFILE_RECURSE_DIR_CLEANUP = 3,
    COPYFILE_COPY_DATA = 4,
    COPYFILE_COPY_XATTR = 5,
};
// Stage of a report. An ERR report (RECURSE_FILE or RECURSE_DIR) carries the error number in errno.
enum : int { COPYFILE_START = 1, COPYFILE_FINISH = 2, COPYFILE_ERR = 3, COPYFILE_PROGRESS = 4 };
// Answers of the callback. SKIP leaves the item out (at ERR too: the copy goes on without it, as with
// CONTINUE); QUIT, and any other answer, stops the whole copy and removes what it wrote.
enum : int { COPYFILE_CONTINUE = 0, COPYFILE_SKIP = 1, COPYFILE_QUIT = 2 };

enum copyfile_state_flag : std::uint32_t {
    COPYFILE_STATE_STATUS_CB = 6,   // value: the callback itself
    COPYFILE_STATE_STATUS_CTX = 7,  // value: the context pointer
    COPYFILE_STATE_COPIED = 8,      // get only: bytes of the current item's data copied so far (off_t)
};

struct copyfile_state;
using copyfile_state_t = copyfile_state*;
// what, stage, state, source path, destination path, context -> answer.
using copyfile_callback_t = int (*)(int, int, copyfile_state_t, const char*, const char*, void*);

copyfile_state_t copyfile_state_alloc();
int copyfile_state_free(copyfile_state_t state);
int copyfile_state_set(copyfile_state_t state, std::uint32_t flag, const void* value);
int copyfile_state_get(copyfile_state_t state, std::uint32_t flag, void* result);

// 0 on success (also when the callback skipped items); -1 with errno set on failure (the error
// number of the failed item; EEXIST when something is or appears at `to`) or when the callback quit
// at a report other than an error (ECANCELED). `state` may be null.
int copyfile(const char* from, const char* to, copyfile_state_t state, copyfile_flags_t flags);

}  // namespace hb
