#pragma once

#include "app/firstlaunch/HBPageControllerDelegate.h"
#include "platform/interface/PageController.h"

// The first-launch pages in the main window. Pages turn only when a page posts "nextController" or
// "backController"; scrolling and swiping never turn them.
class HBPageViewController : public hb::PageController {
    Q_OBJECT
public:
    explicit HBPageViewController(QWidget* parent = nullptr);
    ~HBPageViewController() override;

    HBPageControllerDelegate pageDelegate;
    qint64 currentIndex = 0;

    // Delegate, arranged objects (the page identifiers) and the first page.
    void linkData();

    void next();
    void back();

    bool isOperationInProgress() const { return true; }

protected:
    void viewWillAppear() override;
    void viewDidDisappear() override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void stopObserving();
    bool m_observing = false;
};
