#include "platform/interface/Sound.h"

#include "platform/base/Bundle.h"

#include <QAudioDevice>
#include <QHash>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace hb {

namespace {
// One effect per sound for the whole run: a Sound that goes away right after play() must not cut the
// sound short, and the data is decoded once.
std::shared_ptr<QSoundEffect> effectFor(const QString& path)
{
    static QHash<QString, std::shared_ptr<QSoundEffect>> effects;
    std::shared_ptr<QSoundEffect>& effect = effects[path];
    if (!effect) {
        effect = std::make_shared<QSoundEffect>();
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
