#pragma once

#include "platform/interface/ViewController.h"

#include <QList>
#include <QPointer>

class HBHotKeyLabel;
class HBStatusPaneLayout;
class QLabel;
class QPushButton;

// A status pane that shows the hot key: its hint follows the recorder while the pane is shown, a notice
// says why the hot key does not work, the status line can be shaken, and the recent-files browser is a
// click away. Subclasses lay out their lines and buttons.
class HBHotKeyStatusPane : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBHotKeyStatusPane(QWidget* parent = nullptr);
    ~HBHotKeyStatusPane() override;

    QPointer<QLabel> statusLine;
    QPointer<HBHotKeyLabel> hotKeyLabel;
    QPointer<QLabel> subText;
    // Why the hot key does not work, when it does not.
    QPointer<QLabel> hotKeyNotice;
    QPointer<QPushButton> recentFilesButton;

    void observeValueForKeyPath(const QString& keyPath);
    // Follows what the session made of the hot key.
    virtual void hotKeyStateChanged();
    void shakeStatusLine();
    // Opens the recent-files browser.
    void getRecentFiles();

protected:
    // Adds the notice and the hot-key hint below what the subclass laid out, and follows the hot key.
    void finishLayout(HBStatusPaneLayout& layout);
    // The observations of the hot-key settings are installed.
    bool isObserving() const { return m_observing; }
    void stopObserving();

    void viewDidAppear() override;
    void viewDidDisappear() override;

private:
    bool m_observing = false;
    QList<QMetaObject::Connection> m_observations;
};
