#pragma once

#include <QPointer>
#include <QString>

#include <optional>

class QSoundEffect;

namespace hb {

// A short bundle sound, looked up by name among the bundle's sounds ("Confirm" -> ":/sounds/Confirm.wav").
class Sound {
public:
    // None when the bundle has no sound of that name.
    static std::optional<Sound> named(const QString& name);

    // Starts playing; false when playing cannot start (no audio output, data that cannot be decoded).
    bool play();

    const QString& name() const { return m_name; }
    const QString& path() const { return m_path; }

private:
    Sound(QString name, QString path);
    QString m_name;
    QString m_path;
    // The effect is shared by every Sound of the same file and lives as long as the application, so
    // playing goes on after the Sound is gone.
    QPointer<QSoundEffect> m_effect;
};

}  // namespace hb
