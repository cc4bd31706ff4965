#include "core/engine/HBCopyFileOperation.h"

#include "platform/base/Log.h"
#include "platform/files/ResourceValues.h"

#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <cstring>

HBCopyFileOperation::HBCopyFileOperation(const CopyProgressData& seed)
    : progressData(seed.completedCountOfFiles, seed.completedSizeOfFiles)
{
}

CopyProgressData HBCopyFileOperation::getProgressData()
{
    std::lock_guard lock(m_monitor);
    CopyProgressData snapshot = progressData;
    snapshot.completedCountOfFiles
        = std::atomic_ref(progressData.completedCountOfFiles).load(std::memory_order_relaxed);
    snapshot.completedSizeOfFiles = std::atomic_ref(progressData.completedSizeOfFiles).load(std::memory_order_relaxed);
    return snapshot;
}

void HBCopyFileOperation::cancelOperation()
{
    std::lock_guard lock(m_monitor);
    shouldCancel = true;
}

std::optional<hb::Error> HBCopyFileOperation::copyFileOperationWithSource(const hb::URL& source,
                                                                          const hb::URL& destination, bool)
{
    copyErrorNumber = 0;
    failedItemPath.clear();
    if (shouldCancel)
        return std::nullopt;

    copyFilestate = hb::copyfile_state_alloc();
    hb::copyfile_state_set(copyFilestate, hb::COPYFILE_STATE_STATUS_CB, reinterpret_cast<const void*>(&statusCallback));
    hb::copyfile_state_set(copyFilestate, hb::COPYFILE_STATE_STATUS_CTX, this);
    const int result = hb::copyfile(source.path().toUtf8().constData(), destination.path().toUtf8().constData(),
                                    copyFilestate, hb::COPYFILE_ALL | hb::COPYFILE_RECURSIVE);
    const int copyfileError = result == 0 ? 0 : errno;

    std::optional<hb::Error> error;
    if (result != 0 || copyErrorNumber != 0)
        error = failureResult(source, destination, copyfileError);
    hb::copyfile_state_free(copyFilestate);
    copyFilestate = nullptr;
    return error;
}

namespace {

bool isReadable(const QString& path)
{
    const auto value = hb::resourceValue(hb::URL::fileURLWithPath(path), hb::NSURLIsReadableKey);
    return value && value->toBool();
}

}  // namespace

std::optional<hb::Error> HBCopyFileOperation::failureResult(const hb::URL& source, const hb::URL& destination,
                                                            int copyfileError)
{
    const hb::URL folder = destination.deletingLastPathComponent();
    // Permission denied on an item we can read means the destination refused it.
    const bool sourceRefused = !failedItemPath.isEmpty() && !isReadable(failedItemPath);
    if (copyErrorNumber == EACCES && !sourceRefused) {
        return hb::Error{
            hb::NSCocoaErrorDomain,
            hb::NSFileWriteNoPermissionError,
            {{hb::NSLocalizedDescriptionKey, QStringLiteral("%1 cannot be copied because %2 is not writable")
                                                 .arg(source.lastPathComponent(), folder.path())}}};
    }

    hb::Error sourceError;
    hb::Error destinationError;
    const bool sourceReachable = hb::checkResourceIsReachable(source, &sourceError);
    const bool folderReachable = hb::checkResourceIsReachable(folder, &destinationError);
    HBDebug() << QStringLiteral("Source error = %1 Destination error  = %2")
                     .arg(sourceReachable ? QStringLiteral("(null)") : sourceError.localizedDescription(),
                          folderReachable ? QStringLiteral("(null)") : destinationError.localizedDescription());
    if (!sourceReachable)
        return sourceError;
    if (!folderReachable)
        return destinationError;

    // A cancelled copy is no failure; any other failure must not pass for a success.
    const int number = copyErrorNumber != 0 ? copyErrorNumber : copyfileError;
    if (number == 0 || (copyErrorNumber == 0 && shouldCancel))
        return std::nullopt;
    const QString reason = QString::fromLocal8Bit(std::strerror(number));
    hb::Error error;
    if (sourceRefused) {
        error = hb::Error::fromErrno(number, failedItemPath, false);
        error.userInfo[hb::NSLocalizedDescriptionKey] = QStringLiteral(
                                                            "%1 cannot be copied because %2 cannot be read: %3")
                                                            .arg(source.lastPathComponent(), failedItemPath, reason);
    } else {
        error = hb::Error::fromErrno(number, destination.path(), true);
        error.userInfo[hb::NSLocalizedDescriptionKey]
            = QStringLiteral("%1 cannot be copied to %2: %3").arg(source.lastPathComponent(), folder.path(), reason);
    }
    return error;
}

int HBCopyFileOperation::statusCallback(int what, int stage, hb::copyfile_state_t state, const char* source,
                                        const char*, void* context)
{
    return static_cast<HBCopyFileOperation*>(context)->handleReport(what, stage, state, source);
}

int HBCopyFileOperation::handleReport(int what, int stage, hb::copyfile_state_t state, const char* source)
{
    if (shouldCancel)
        return hb::COPYFILE_QUIT;

    switch (what) {
    case hb::COPYFILE_RECURSE_FILE:
    case hb::COPYFILE_RECURSE_DIR:
        if (stage == hb::COPYFILE_ERR) {
            // Kept until the result is decided; the item stops here, so nothing is left half-written.
            copyErrorNumber = errno;
            failedItemPath = QString::fromUtf8(source);
            HBDebug() << QString(what == hb::COPYFILE_RECURSE_FILE ? " Copy error is %1" : " Dir Copy error is %1")
                             .arg(copyErrorNumber);
            return hb::COPYFILE_QUIT;
        }
        if (stage == hb::COPYFILE_FINISH) {
            std::atomic_ref(progressData.completedCountOfFiles).fetch_add(1, std::memory_order_relaxed);
            previousCopiedBytes = 0;
        }
        break;
    case hb::COPYFILE_COPY_DATA:
    case hb::COPYFILE_COPY_XATTR: {
        off_t copied = 0;
        if (hb::copyfile_state_get(state, hb::COPYFILE_STATE_COPIED, &copied) == 0) {
            const auto bytes = static_cast<std::uint64_t>(copied);
            if (bytes > previousCopiedBytes)
                std::atomic_ref(progressData.completedSizeOfFiles)
                    .fetch_add(bytes - previousCopiedBytes, std::memory_order_relaxed);
            previousCopiedBytes = bytes;
        }
        break;
    }
    default:
        break;
    }
    return hb::COPYFILE_CONTINUE;
}
