#pragma once

#include <QWidget>

namespace hb {

// A controller that is its own view. Subclasses build their widgets in loadView (usually a
// Designer form's setupUi) and get the life-cycle hooks below. The view is loaded on first use.
class ViewController : public QWidget {
    Q_OBJECT
public:
    explicit ViewController(QWidget* parent = nullptr);

    // Loads the view once: loadView, then viewDidLoad.
    void loadViewIfNeeded();

    // Delivers a pending viewDidAppear at once (the window controller calls it right after showing).
    void completeAppearance();

protected:
    virtual void loadView() {}
    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_viewLoaded = false;
    bool m_appearancePending = false;
};

}  // namespace hb
