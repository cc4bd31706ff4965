#pragma once

#include "platform/interface/ViewController.h"

#include <QList>
#include <QPointer>

class HBHotKeyLabel;
class QLabel;
class QPushButton;

// The status pane shown while no files are held: asks the user to select files, shows the hot key (dimmed
// while the recorder is open) and offers the recent-files browser.
class HBStatusForSelectFilesController : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBStatusForSelectFilesController(QWidget* parent = nullptr);
    ~HBStatusForSelectFilesController() override;

    QPointer<QLabel> statusLine;
    QPointer<HBHotKeyLabel> hotKeyLabel;
    QPointer<QLabel> subText;
    // Why the hot key does not work, when it does not.
    QPointer<QLabel> hotKeyNotice;
    QPointer<QPushButton> recentFilesButton;
    // The observations of the hot-key settings are installed.
    bool ifAppear = false;

    void observeValueForKeyPath(const QString& keyPath);
    // Follows what the session made of the hot key.
    void hotKeyStateChanged();
    void shakeStatusLine();
    // Opens the recent-files browser.
    void getRecentFiles();

protected:
    void loadView() override;
    void viewDidAppear() override;
    void viewDidDisappear() override;

private:
    void stopObserving();
    QList<QMetaObject::Connection> m_observations;
};
