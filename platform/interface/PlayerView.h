#pragma once

#include <QString>
#include <QWidget>

#include <QImage>

class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

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
    // Whether play was asked for since the last pause or end.
    bool wantsToPlay() const { return m_wantsToPlay; }

    QMediaPlayer* mediaPlayer() const { return m_player; }

private:
    void reachedEnd();

    QString m_mediaPath;
    ActionAtItemEnd m_actionAtItemEnd = ActionAtItemEnd::None;
    bool m_wantsToPlay = false;
    QMediaPlayer* m_player;
};

// Shows the picture of a Player, scaled to fit with its proportions kept, over the background of its
// parent; without a player it shows nothing. Before playing it shows the first frame, and a click plays
// or pauses, so a video the program does not start can still be watched.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    ~PlayerView() override;

    // The view owns the player it shows; a new player (or null) deletes the previous one.
    void setPlayer(Player* player);
    Player* player() const { return m_player; }

    // The frame on screen; null before the first one arrives.
    const QImage& currentFrame() const { return m_frame; }

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showFrame(const QVideoFrame& frame);
    void fetchFirstFrame();
    // Deletes the player after its media and the sink have let go of this view.
    void releasePlayer();

    Player* m_player = nullptr;
    QVideoSink* m_sink;
    QImage m_frame;
    QSize m_videoSize;
    bool m_fetchingFirstFrame = false;
};

}  // namespace hb
