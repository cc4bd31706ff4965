#include "app/ServiceCommand.h"

#include "platform/base/URL.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/desktop/Services.h"

#include <QFileInfo>

namespace {
const QStringList serviceNames{QStringLiteral("addToLocation"), QStringLiteral("moveHarbrill")};
}

std::variant<ServiceCommand, QString> ServiceCommand::parse(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return QStringLiteral("Name a service: %1.").arg(serviceNames.join(QStringLiteral(" or ")));
    ServiceCommand command;
    command.messageName = arguments.first();
    if (!serviceNames.contains(command.messageName))
        return QStringLiteral("Unknown service \"%1\": use %2.")
            .arg(command.messageName, serviceNames.join(QStringLiteral(" or ")));
    if (arguments.size() < 2)
        return QStringLiteral("Name at least one file or folder for %1.").arg(command.messageName);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& path = arguments.at(i);
        if (!path.startsWith(u'/'))
            return QStringLiteral("Not an absolute path: %1").arg(path);
        if (!QFileInfo::exists(path))
            return QStringLiteral("No such file or folder: %1").arg(path);
        command.paths.append(path);
    }
    return command;
}

ServiceCommand::Outcome ServiceCommand::send() const
{
    QList<hb::URL> urls;
    for (const QString& path : paths)
        urls.append(hb::URL::fileURLWithPath(path, QFileInfo(path).isDir()));
    const hb::ServiceAnswer answer = hb::Services::send(messageName, hb::Pasteboard::withFileURLs(urls));
    if (!answer.ok)
        return {1, answer.errorText.isEmpty() ? QStringLiteral("Harbrill refused the request.") : answer.errorText};
    const QString items = paths.size() == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(paths.size());
    return {0, QStringLiteral("Harbrill took %1 for %2.").arg(items, messageName)};
}
