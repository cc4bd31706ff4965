#pragma once

// Told by the page controller when a page becomes the selected one and when it is about to be left.
class HBViewControllerNavigation {
public:
    virtual ~HBViewControllerNavigation() = default;
    virtual void disappear() = 0;
    virtual void appear() = 0;
};

// Pages turn the page controller only through these, posted from the main queue after the button's
// handler has returned.
void postNextController();
void postBackController();
