#pragma once

#include <QString>

#include <memory>
#include <optional>

class QSoundEffect;

namespace hb {

// A short bundle sound, looked up by name among the bundle's sounds ("Confirm" -> ":/sounds/Confirm.wav").
class Sound {
public:
    // None when the bundle has no sound of that name.
    static std::optional<Sound> named(const QString& name);

    // Starts playing; false when playing could not start (no audio output, unreadable data).
    bool play();

    const QString& name() const { return m_name; }
    const QString& path() const { return m_path; }

private:
    Sound(QString name, QString path);
    QString m_name;
    QString m_path;
    // Shared so a copy plays the same effect, and the effect outlives the Sound while it plays.
    std::shared_ptr<QSoundEffect> m_effect;
};

}  // namespace hb
