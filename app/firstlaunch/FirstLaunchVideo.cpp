#include "app/firstlaunch/FirstLaunchVideo.h"

#include "platform/base/Bundle.h"
#include "platform/base/NotificationCenter.h"

bool FirstLaunchVideo::attach(hb::PlayerView* view, const QString& name, hb::Player::ActionAtItemEnd actionAtEnd)
{
    if (!view)
        return false;
    const QString path = hb::Bundle::pathForResource(QStringLiteral("videos"), name, {QStringLiteral("mp4")});
    view->setVisible(!path.isEmpty());
    if (path.isEmpty())
        return false;
    auto* player = new hb::Player(path);
    player->setActionAtItemEnd(actionAtEnd);
    view->setPlayer(player);
    return true;
}

void FirstLaunchVideo::start(hb::PlayerView* view, const void* owner, std::function<void()> playEnded)
{
    hb::Player* player = view ? view->player() : nullptr;
    if (!player)
        return;
    if (m_observedPlayer != player) {
        stop(view, owner);
        hb::NotificationCenter::defaultCenter().addObserver(owner, hb::PlayerDidPlayToEndTimeNotification, player,
                                                            [playEnded](const hb::Notification&) { playEnded(); });
        m_observedPlayer = player;
    }
    player->seekToZero();
    player->play();
}

void FirstLaunchVideo::stop(hb::PlayerView* view, const void* owner)
{
    if (m_observedPlayer) {
        hb::NotificationCenter::defaultCenter().removeObserver(owner, hb::PlayerDidPlayToEndTimeNotification,
                                                               m_observedPlayer);
        m_observedPlayer = nullptr;
    }
    if (hb::Player* player = view ? view->player() : nullptr)
        player->pause();
}

void FirstLaunchVideo::release(hb::PlayerView* view)
{
    if (!view || !view->player())
        return;
    view->player()->setRate(0);
    view->setPlayer(nullptr);
}
