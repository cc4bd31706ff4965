#include "app/ServiceCommand.h"

#include "platform/base/URL.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/desktop/Services.h"

#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>

namespace {
const QStringList serviceNames{QStringLiteral("addToLocation"), QStringLiteral("moveHarbrill")};

// The running instance looks at every item before it answers: thousands of items take seconds.
int answerTimeoutMs(qsizetype items)
{
    return int(10000 + std::min<qsizetype>(items, 200000) * 2);
}

bool isUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// The name as text a person can read and type back: what is not UTF-8 is shown byte by byte as \xNN.
QString shownName(const QByteArray& bytes)
{
    QString shown;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        const QByteArray sequence = length > 0 ? bytes.mid(i, length) : QByteArray();
        if (sequence.size() == length && length > 0 && isUtf8(sequence)) {
            shown += QString::fromUtf8(sequence);
            i += length;
        } else {
            shown += QStringLiteral("\\x%1").arg(lead, 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return shown;
}

bool exists(const QByteArray& path)
{
    struct stat info {};
    return ::stat(path.constData(), &info) == 0;
}
}  // namespace

std::variant<ServiceCommand, QString> ServiceCommand::parse(const QByteArrayList& arguments)
{
    if (arguments.isEmpty())
        return QStringLiteral("Name a service: %1.").arg(serviceNames.join(QStringLiteral(" or ")));
    ServiceCommand command;
    command.messageName = QString::fromUtf8(arguments.first());
    if (!serviceNames.contains(command.messageName))
        return QStringLiteral("Unknown service \"%1\": use %2.")
            .arg(shownName(arguments.first()), serviceNames.join(QStringLiteral(" or ")));
    if (arguments.size() < 2)
        return QStringLiteral("Name at least one file or folder for %1.").arg(command.messageName);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& path = arguments.at(i);
        if (!path.startsWith('/'))
            return QStringLiteral("Not an absolute path: %1").arg(shownName(path));
        if (!exists(path))
            return QStringLiteral("No such file or folder: %1").arg(shownName(path));
        // Names travel and are kept as text: bytes that are no text cannot be handed over intact.
        if (!isUtf8(path))
            return QStringLiteral("Harbrill cannot handle the name %1: it is not valid UTF-8 text. Rename the "
                                  "item, then try again.")
                .arg(shownName(path));
        command.paths.append(QString::fromUtf8(path));
    }
    return command;
}

ServiceCommand::Outcome ServiceCommand::send() const
{
    QList<hb::URL> urls;
    for (const QString& path : paths)
        urls.append(hb::URL::fileURLWithPath(path, QFileInfo(path).isDir()));
    const hb::ServiceAnswer answer = hb::Services::send(messageName, hb::Pasteboard::withFileURLs(urls),
                                                        answerTimeoutMs(urls.size()));
    if (!answer.ok)
        return {1, answer.text.isEmpty() ? QStringLiteral("Harbrill refused the request.") : answer.text};
    // An instance of an earlier version answers without saying more.
    return {0,
            answer.text.isEmpty() ? QStringLiteral("Harbrill took the request for %1.").arg(messageName) : answer.text};
}
