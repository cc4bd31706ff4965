#include "platform/base/Error.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace hb {

namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("\u201C%1\u201D").arg(text);
}

// Items are named by their full path: two folders often hold files of the same name.
QString describe(int code, int posixError, const QString& path)
{
    const QString item = quoted(path);
    const QString reason = QString::fromLocal8Bit(std::strerror(posixError));
    switch (code) {
    case NSFileNoSuchFileError:
        return QStringLiteral("The file %1 doesn\u2019t exist.").arg(item);
    case NSFileReadNoSuchFileError:
        return QStringLiteral("The file %1 couldn\u2019t be opened because there is no such file.").arg(item);
    case NSFileReadNoPermissionError:
        return QStringLiteral("The file %1 couldn\u2019t be opened because you don\u2019t have permission to view it.")
            .arg(item);
    case NSFileWriteNoPermissionError:
        return QStringLiteral("The file %1 couldn\u2019t be saved because you don\u2019t have permission to write "
                              "in the folder %2.")
            .arg(item, quoted(QFileInfo(path).path()));
    case NSFileWriteFileExistsError:
        return QStringLiteral("The file %1 couldn\u2019t be saved because an item with the same name already exists.")
            .arg(item);
    case NSFileWriteOutOfSpaceError:
        return QStringLiteral("The file %1 couldn\u2019t be saved because there isn\u2019t enough space.").arg(item);
    case NSFileWriteVolumeReadOnlyError:
        return QStringLiteral("The file %1 couldn\u2019t be saved because the volume is read only.").arg(item);
    case NSFileReadUnknownError:
        return QStringLiteral("The file %1 couldn\u2019t be opened (%2).").arg(item, reason);
    default:
        return QStringLiteral("The file %1 couldn\u2019t be saved (%2).").arg(item, reason);
    }
}

int codeFor(int posixError, bool writing)
{
    switch (posixError) {
    case ENOENT:
        return writing ? NSFileNoSuchFileError : NSFileReadNoSuchFileError;
    case EACCES:
    case EPERM:
        return writing ? NSFileWriteNoPermissionError : NSFileReadNoPermissionError;
    case EEXIST:
    case ENOTEMPTY:
        return NSFileWriteFileExistsError;
    case ENOSPC:
    case EDQUOT:
        return NSFileWriteOutOfSpaceError;
    case EROFS:
        return NSFileWriteVolumeReadOnlyError;
    default:
        return writing ? NSFileWriteUnknownError : NSFileReadUnknownError;
    }
}

}  // namespace

QString Error::localizedDescription() const
{
    const QString text = userInfo.value(NSLocalizedDescriptionKey).toString();
    if (!text.isEmpty())
        return text;
    return QStringLiteral("The operation couldn\u2019t be completed. (%1 error %2.)").arg(domain).arg(code);
}

QString Error::localizedRecoverySuggestion() const
{
    return userInfo.value(NSLocalizedRecoverySuggestionErrorKey).toString();
}

Error Error::fromErrno(int posixError, const QString& path, bool writing)
{
    const int code = codeFor(posixError, writing);
    return Error{NSCocoaErrorDomain, code,
                 QVariantMap{{NSLocalizedDescriptionKey, describe(code, posixError, path)},
                             {NSFilePathErrorKey, path},
                             {NSUnderlyingErrorKey, posixError}}};
}

}  // namespace hb
