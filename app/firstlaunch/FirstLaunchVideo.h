#pragma once

#include "platform/interface/PlayerView.h"

#include <functional>

// The short video of a first-launch page: looked up among the bundle's videos by name; a page whose
// video is missing simply shows none.
class FirstLaunchVideo {
public:
    // Puts a player for the named video into `view`; false when there is no such video or no view.
    static bool attach(hb::PlayerView* view, const QString& name, hb::Player::ActionAtItemEnd actionAtEnd);

    // From the start, each time the page is reached; the end is observed until stop().
    void start(hb::PlayerView* view, const void* owner, std::function<void()> playEnded);
    void stop(hb::PlayerView* view, const void* owner);
    // Stops and takes the player away.
    static void release(hb::PlayerView* view);

private:
    const void* m_observedPlayer = nullptr;
};
