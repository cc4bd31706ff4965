#include "platform/interface/PlayerView.h"

#include "platform/base/NotificationCenter.h"

#include <QMediaPlayer>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace hb {

Player::Player(const QString& mediaPath, QObject* parent)
    : QObject(parent), m_mediaPath(mediaPath), m_player(new QMediaPlayer(this))
{
    m_player->setSource(mediaPath.startsWith(u':') ? QUrl(QStringLiteral("qrc") + mediaPath)
                                                   : QUrl::fromLocalFile(mediaPath));
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia)
            reachedEnd();
    });
}

Player::~Player() = default;

void Player::seekToZero() { m_player->setPosition(0); }

void Player::play() { m_player->play(); }

void Player::pause() { m_player->pause(); }

void Player::setRate(double rate)
{
    if (rate == 0) {
        pause();
        return;
    }
    m_player->setPlaybackRate(rate);
    play();
}

double Player::rate() const
{
    return m_player->playbackState() == QMediaPlayer::PlayingState ? m_player->playbackRate() : 0.0;
}

void Player::reachedEnd()
{
    if (m_actionAtItemEnd == ActionAtItemEnd::Pause)
        pause();
    NotificationCenter::defaultCenter().post(PlayerDidPlayToEndTimeNotification, this);
}

PlayerView::PlayerView(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

PlayerView::~PlayerView() = default;

void PlayerView::setPlayer(Player* player)
{
    if (player == m_player)
        return;
    delete m_player;
    m_player = player;
    if (!m_player) {
        delete m_video;
        m_video = nullptr;
        return;
    }
    m_player->setParent(this);
    if (!m_video) {
        m_video = new QVideoWidget(this);
        m_video->setAspectRatioMode(Qt::KeepAspectRatio);
        layout()->addWidget(m_video);
    }
    m_player->mediaPlayer()->setVideoOutput(m_video);
}

}  // namespace hb
