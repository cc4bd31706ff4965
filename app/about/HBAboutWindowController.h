#pragma once

#include "platform/interface/WindowController.h"

class HBAboutBoxController;

// The about box's window ("HBAboutStoryBoard", "AboutBox"): dark slate, movable by its background
// and rows, with a close button and no minimise or maximise buttons.
class HBAboutWindowController : public hb::WindowController {
    Q_OBJECT
public:
    explicit HBAboutWindowController(QObject* parent = nullptr);

    HBAboutBoxController* aboutBox() const;

protected:
    void windowDidLoad() override;
};
