#include "platform/interface/Sound.h"

#include "platform/base/Bundle.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QHash>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace hb {

namespace {
// One effect per sound for the whole run: a Sound that goes away right after play() must not cut the
// sound short, and the data is decoded once. The application owns it, so it goes while the audio back
// end still stands: one destroyed at exit, after the application, took the process down.
QSoundEffect* effectFor(const QString& path)
{
    static QHash<QString, QPointer<QSoundEffect>> effects;
    QPointer<QSoundEffect>& effect = effects[path];
    if (!effect) {
        effect = new QSoundEffect(QCoreApplication::instance());
        // QSoundEffect reads resources as "qrc:" URLs.
        effect->setSource(path.startsWith(u':') ? QUrl(QStringLiteral("qrc") + path) : QUrl::fromLocalFile(path));
    }
    return effect;
}
}  // namespace

std::optional<Sound> Sound::named(const QString& name)
{
    const QString path = Bundle::pathForResource(QStringLiteral("sounds"), name, {QStringLiteral("wav")});
    if (path.isEmpty())
        return std::nullopt;
    return Sound(name, path);
}

Sound::Sound(QString name, QString path) : m_name(std::move(name)), m_path(std::move(path)) {}

bool Sound::play()
{
    if (QMediaDevices::audioOutputs().isEmpty())
        return false;
    if (!m_effect)
        m_effect = effectFor(m_path);
    if (m_effect->status() == QSoundEffect::Error)
        return false;
    m_effect->play();
    return m_effect->status() != QSoundEffect::Error;
}

}  // namespace hb
