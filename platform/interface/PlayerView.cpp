#include "platform/interface/PlayerView.h"

#include "platform/base/NotificationCenter.h"

#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <utility>

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

void Player::seekToZero()
{
    m_player->setPosition(0);
}

void Player::play()
{
    m_wantsToPlay = true;
    m_player->play();
}

void Player::pause()
{
    m_wantsToPlay = false;
    m_player->pause();
}

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
    return m_wantsToPlay && m_player->playbackState() == QMediaPlayer::PlayingState ? m_player->playbackRate() : 0.0;
}

void Player::reachedEnd()
{
    m_wantsToPlay = false;
    if (m_actionAtItemEnd == ActionAtItemEnd::Pause)
        m_player->pause();
    NotificationCenter::defaultCenter().post(PlayerDidPlayToEndTimeNotification, this);
}

PlayerView::PlayerView(QWidget* parent) : QWidget(parent), m_sink(new QVideoSink(this))
{
    setAccessibleName(QStringLiteral("Video"));
    setToolTip(QStringLiteral("Click to play or pause"));
    connect(m_sink, &QVideoSink::videoFrameChanged, this, &PlayerView::showFrame);
}

PlayerView::~PlayerView()
{
    // The media stops as it goes, and the sink then announces one more frame: both must find a whole
    // view, not what the base class destructor leaves of it.
    releasePlayer();
    disconnect(m_sink, nullptr, this, nullptr);
}

void PlayerView::releasePlayer()
{
    Player* old = std::exchange(m_player, nullptr);
    if (!old)
        return;
    disconnect(old->mediaPlayer(), nullptr, this, nullptr);
    old->mediaPlayer()->setVideoSink(nullptr);
    delete old;
}

void PlayerView::setPlayer(Player* player)
{
    if (player == m_player)
        return;
    releasePlayer();
    m_player = player;
    m_frame = QImage();
    m_videoSize = QSize();
    m_fetchingFirstFrame = false;
    update();
    if (!m_player)
        return;
    m_player->setParent(this);
    QMediaPlayer* media = m_player->mediaPlayer();
    media->setVideoSink(m_sink);
    connect(media, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia)
            fetchFirstFrame();
    });
    // Media that finished loading before the sink was attached never shows a frame in it, and announces
    // nothing more: load it again, now into the sink.
    const QUrl source = media->source();
    media->setSource(QUrl());
    media->setSource(source);
}

void PlayerView::fetchFirstFrame()
{
    // Not every media backend decodes a frame while paused: run until the first frame arrives, then
    // stop at the start again, unless someone asked to play meanwhile.
    if (!m_player || m_player->wantsToPlay() || !m_frame.isNull())
        return;
    m_fetchingFirstFrame = true;
    m_player->mediaPlayer()->play();
}

void PlayerView::showFrame(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    m_frame = frame.toImage();
    if (m_fetchingFirstFrame) {
        m_fetchingFirstFrame = false;
        if (m_player && !m_player->wantsToPlay()) {
            m_player->mediaPlayer()->pause();
            m_player->seekToZero();
        }
    }
    if (m_frame.size() != m_videoSize) {
        m_videoSize = m_frame.size();
        updateGeometry();
    }
    update();
}

QSize PlayerView::sizeHint() const
{
    return m_videoSize.isValid() ? m_videoSize : QSize(480, 270);
}

bool PlayerView::hasHeightForWidth() const
{
    return m_videoSize.isValid();
}

int PlayerView::heightForWidth(int width) const
{
    if (!m_videoSize.isValid() || m_videoSize.width() == 0)
        return QWidget::heightForWidth(width);
    return width * m_videoSize.height() / m_videoSize.width();
}

void PlayerView::paintEvent(QPaintEvent*)
{
    if (m_frame.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize fitted = m_frame.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    QPainterPath rounded;
    rounded.addRoundedRect(target, 8, 8);
    painter.setClipPath(rounded);
    painter.drawImage(target, m_frame);
}

void PlayerView::mousePressEvent(QMouseEvent* event)
{
    if (!m_player || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (m_player->rate() != 0) {
        m_player->pause();
    } else {
        if (m_player->mediaPlayer()->mediaStatus() == QMediaPlayer::EndOfMedia)
            m_player->seekToZero();
        m_player->play();
    }
    event->accept();
}

}  // namespace hb
