#pragma once

#include "platform/interface/WindowController.h"

class HBProgressViewController;

// The progress window: the scene "EntryPoint" of the storyboard "HBProgress". A small window with
// no title, moved by dragging its background, whose content is the progress list.
class HBProgressWindowController : public hb::WindowController {
    Q_OBJECT
public:
    explicit HBProgressWindowController(QObject* parent = nullptr);

    // The content view controller, or none when the content is of another kind.
    HBProgressViewController* getViewController() const;

protected:
    hb::Window* makeWindow() override;
    void windowDidLoad() override;
};
