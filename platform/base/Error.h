#pragma once

#include <QString>
#include <QVariantMap>

namespace hb {

inline const QString NSCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");
inline const QString NSPOSIXErrorDomain = QStringLiteral("NSPOSIXErrorDomain");
inline const QString NSLocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
inline const QString NSLocalizedRecoverySuggestionErrorKey = QStringLiteral("NSLocalizedRecoverySuggestion");
inline const QString NSFilePathErrorKey = QStringLiteral("NSFilePath");
inline const QString NSUnderlyingErrorKey = QStringLiteral("NSUnderlyingError");  // value: POSIX errno

// Cocoa file error codes the program meets.
enum CocoaErrorCode : int {
    NSFileNoSuchFileError = 4,
    NSFileLockingError = 255,
    NSFileReadUnknownError = 256,
    NSFileReadNoPermissionError = 257,
    NSFileReadNoSuchFileError = 260,
    NSFileWriteUnknownError = 512,
    NSFileWriteNoPermissionError = 513,
    NSFileWriteFileExistsError = 516,
    NSFileWriteOutOfSpaceError = 640,
    NSFileWriteVolumeReadOnlyError = 642,
};

// The platform error value: a domain, a code and user information.
struct Error {
    QString domain;
    int code = 0;
    QVariantMap userInfo;

    QString localizedDescription() const;         // NSLocalizedDescriptionKey, else a generic text
    QString localizedRecoverySuggestion() const;  // NSLocalizedRecoverySuggestionErrorKey or empty

    // A Cocoa file error for a failed POSIX call on `path` (ENOENT -> 4/260, EACCES/EPERM -> 257/513,
    // EEXIST -> 516, ENOSPC -> 640, EROFS -> 642, else 256/512), with a readable description.
    static Error fromErrno(int posixError, const QString& path, bool writing);

    bool operator==(const Error& other) const
    {
        return domain == other.domain && code == other.code && userInfo == other.userInfo;
    }
};

}  // namespace hb
