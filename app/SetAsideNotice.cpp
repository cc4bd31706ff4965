#include "app/SetAsideNotice.h"

#include "core/store/HBConstants.h"
#include "platform/base/NotificationCenter.h"

#include <QStringList>
#include <QTimer>

namespace {

bool isSettingsFile(const QString& path)
{
    return path == hb::UserDefaults::standard().filePath();
}

bool isDestinationsFile(const QString& path)
{
    const hb::UserDefaults* suite = hb::UserDefaults::suite(locationsSuiteName);
    return suite && path == suite->filePath();
}

QString whatWasReset(const QString& path)
{
    if (isSettingsFile(path))
        return QStringLiteral("Harbrill's settings were reset, among them the hot key and the access you gave it to "
                              "your folders, so it starts as on its first launch.");
    if (isDestinationsFile(path))
        return QStringLiteral("Your list of favourite folders was reset.");
    return QStringLiteral("What it held was reset.");
}

}  // namespace

SetAsideNotice::~SetAsideNotice()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this);
}

void SetAsideNotice::start()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    hb::NotificationCenter::defaultCenter().addObserver(this, hb::UserDefaultsFileSetAsideNotification, nullptr,
                                                        [this](const hb::Notification&) { tell(); });
    // Also what was set aside before anyone listened, once the window it explains has come up.
    QTimer::singleShot(0, this, [this] { tell(); });
}

hb::Alert SetAsideNotice::alertFor(const QList<hb::SetAsideDefaultsFile>& files)
{
    bool settings = false;
    bool destinations = false;
    QStringList paragraphs;
    for (const hb::SetAsideDefaultsFile& file : files) {
        settings = settings || isSettingsFile(file.path);
        destinations = destinations || isDestinationsFile(file.path);
        paragraphs << QStringLiteral("The file %1 was damaged and could not be read. It is kept as %2. %3")
                          .arg(file.path, file.keptAs, whatWasReset(file.path));
    }
    hb::Alert alert;
    alert.alertStyle = hb::AlertStyle::warning;
    alert.messageText = settings && destinations
                            ? QStringLiteral("Harbrill could not read its settings and your folders")
                        : settings     ? QStringLiteral("Harbrill could not read its settings")
                        : destinations ? QStringLiteral("Harbrill could not read your list of folders")
                                       : QStringLiteral("Harbrill could not read some of its files");
    alert.informativeText = paragraphs.join(QStringLiteral("\n\n"));
    return alert;
}

void SetAsideNotice::tell()
{
    const QList<hb::SetAsideDefaultsFile> files = hb::UserDefaults::takeSetAsideFiles();
    if (!files.isEmpty())
        alertFor(files).runModal();
}
