#pragma once

#include "platform/base/Error.h"
#include "platform/interface/ViewController.h"

#include <QList>
#include <QPointer>

#include <optional>

class HBHotKeyLabel;
class QLabel;
class QPushButton;

// The status tab shown while the file-manager script is missing: installs it, offers the recent-files
// browser instead, and shows the hot key (dimmed while the recorder is open).
class HBInstallScriptFromTabController : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBInstallScriptFromTabController(QWidget* parent = nullptr);
    ~HBInstallScriptFromTabController() override;

    QPointer<HBHotKeyLabel> hotKeyLabel;
    QPointer<QLabel> statusLine;
    QPointer<QLabel> subText;
    // Why the hot key does not work, when it does not.
    QPointer<QLabel> hotKeyNotice;
    QPointer<QPushButton> installButton;
    QPointer<QPushButton> recentFilesButton;
    // The observations of the hot-key settings are installed.
    bool didAppearAlready = false;

    void getRecentFiles();
    // The script ships with the program: it is copied into the Application Scripts folder, executable,
    // replacing an older copy, and "ScriptInstalled" is set. A failure is shown on the status line.
    std::optional<hb::Error> installScript();
    void observeValueForKeyPath(const QString& keyPath);
    // Follows what the session made of the hot key.
    void hotKeyStateChanged();
    void shakeStatusLine();

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;
    void viewDidDisappear() override;

private:
    void stopObserving();
    QList<QMetaObject::Connection> m_observations;
};
