#pragma once

#include <QString>
#include <QWidget>

class QMediaPlayer;
class QVideoWidget;

namespace hb {

// Posted on the default centre, object the Player, when its media has played to the end.
inline const QString PlayerDidPlayToEndTimeNotification = QStringLiteral("AVPlayerItemDidPlayToEndTimeNotification");

// Plays one media file (a bundle resource ":/..." or a file path) into the PlayerView that shows it.
class Player : public QObject {
    Q_OBJECT
public:
    enum class ActionAtItemEnd { None, Pause };

    explicit Player(const QString& mediaPath, QObject* parent = nullptr);
    ~Player() override;

    const QString& mediaPath() const { return m_mediaPath; }
    void setActionAtItemEnd(ActionAtItemEnd action) { m_actionAtItemEnd = action; }
    ActionAtItemEnd actionAtItemEnd() const { return m_actionAtItemEnd; }

    void seekToZero();
    void play();
    void pause();
    // 0 pauses; any other rate plays at that speed.
    void setRate(double rate);
    double rate() const;  // 0 unless playing

    QMediaPlayer* mediaPlayer() const { return m_player; }

private:
    void reachedEnd();

    QString m_mediaPath;
    ActionAtItemEnd m_actionAtItemEnd = ActionAtItemEnd::None;
    QMediaPlayer* m_player;
};

// Shows the picture of a Player; without one it shows nothing.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    ~PlayerView() override;

    // The view owns the player it shows; a new player (or null) deletes the previous one.
    void setPlayer(Player* player);
    Player* player() const { return m_player; }

private:
    Player* m_player = nullptr;
    QVideoWidget* m_video = nullptr;
};

}  // namespace hb
