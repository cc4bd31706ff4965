#pragma once

#include "platform/interface/TabViewController.h"

#include <QString>

class HBSourceProtocol;

// The status area below the grid: one of three panes, chosen by name ("SelectFiles", "ChooseFolder",
// "NoScript"). Choosing "ChooseFolder" always refills that pane with the delegate's current source.
class HBStatusTabViewController : public hb::TabViewController {
    Q_OBJECT
public:
    static inline const QString selectFilesTab = QStringLiteral("SelectFiles");
    static inline const QString chooseFolderTab = QStringLiteral("ChooseFolder");
    static inline const QString noScriptTab = QStringLiteral("NoScript");

    explicit HBStatusTabViewController(QWidget* parent = nullptr);
    ~HBStatusTabViewController() override;

    // The main view controller, set when the tabs are handed to it.
    HBSourceProtocol* delegate = nullptr;

    // An unknown name is logged and changes nothing.
    void updateTab(const QString& tabName);
    // Shakes the shown pane's status line; the choose-folder pane never shakes.
    void shakeStatusLine();
    // What a click on the tile pointed at would do, for the choose-folder pane; empty for its own text.
    void showClickHint(const QString& hint);

protected:
    void viewDidLoad() override;
};
