#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/files/CopyFile.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

// The counters a copy shares with its readers. The copy fills in only the completed ones.
class CopyProgressData {
public:
    CopyProgressData() = default;
    // initWithCompletedCountOfFiles:andcompletedSizeOfFiles:
    CopyProgressData(std::int32_t completedCount, std::uint64_t completedSize)
        : completedCountOfFiles(completedCount), completedSizeOfFiles(completedSize)
    {
    }

    std::uint64_t totalCountOfFiles = 0;
    std::uint64_t totalSizeOfFiles = 0;
    std::int32_t completedCountOfFiles = 0;  // files and folders finished
    std::uint64_t completedSizeOfFiles = 0;  // bytes copied
    QString currentFileName;
};

// Copies one item, a file or a whole folder tree, counting finished items and copied bytes on top
// of the totals it was seeded with, and stopping on request. A fresh one per item.
class HBCopyFileOperation {
public:
    // initWithProgressData: its own counters, seeded with the given completed count and size.
    explicit HBCopyFileOperation(const CopyProgressData& progressData);
    HBCopyFileOperation(const HBCopyFileOperation&) = delete;
    HBCopyFileOperation& operator=(const HBCopyFileOperation&) = delete;

    // Copies `source` to the path `destination` (`isDirectory` is not needed: files and folders
    // take the same path). None when the item was copied, and also when the copy was cancelled.
    std::optional<hb::Error> copyFileOperationWithSource(const hb::URL& source, const hb::URL& destination,
                                                         bool isDirectory);
    // A snapshot of the counters; callable from any thread while the copy runs.
    CopyProgressData getProgressData();
    // The copy quits at its next status report (or does not start).
    void cancelOperation();

private:
    static int statusCallback(int what, int stage, hb::copyfile_state_t state, const char* source,
                              const char* destination, void* context);
    int handleReport(int what, int stage, hb::copyfile_state_t state, const char* source);
    std::optional<hb::Error> failureResult(const hb::URL& source, const hb::URL& destination, int copyfileError);

    std::recursive_mutex m_monitor;
    // The copy's threads count into its completed counters atomically, without the monitor: a reader
    // never waits for a copy thread, which runs at a lower priority.
    CopyProgressData progressData;
    std::atomic<bool> shouldCancel{false};
    hb::copyfile_state_t copyFilestate = nullptr;
    std::int32_t copyErrorNumber = 0;
    std::uint64_t previousCopiedBytes = 0;
    QString failedItemPath;  // the item of the latest error report
};
