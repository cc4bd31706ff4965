#pragma once

#include "platform/base/URL.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class HBProgressDataSource;

// A modal alert with fixed wording, of warning style. No buttons: the single default button.
struct HBAlertRequest {
    QString messageText;
    QString informativeText;
    QStringList buttons;
};

// A modal open panel.
struct HBOpenPanelRequest {
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool showsHiddenFiles = false;
    std::optional<hb::URL> directoryURL;
    QString message;
    QString prompt;  // the title of the accept button
};

// Everything the core shows to a person or asks of one goes through here: its alerts, its open panel
// and the progress window. The main window implements it and the core opens no window itself; a
// QObject so that a late call can tell whether it is still there. Main thread only.
class HBUIDelegate : public QObject {
public:
    // Answers the index of the button pressed, 0 the first.
    virtual int runAlert(const HBAlertRequest& alert) = 0;
    // Whether an alert or panel is up now, of the core or of anyone else.
    virtual bool isShowingAlert() const = 0;
    // The items chosen, none when cancelled.
    virtual std::optional<QList<hb::URL>> runOpenPanel(const HBOpenPanelRequest& panel) = 0;

    // Made on first need and shown (again); its rows are drawn from `rows`, which outlives the window.
    virtual void showProgressWindow(HBProgressDataSource& rows) = 0;
    virtual bool isProgressWindowVisible() const = 0;
    // Refreshes the given rows (none: nothing at all) or, with reloadAll, every row; a hidden or absent
    // window is left alone.
    virtual void reloadProgress(const std::optional<QList<std::int64_t>>& rows, bool reloadAll) = 0;
    // Hidden and kept.
    virtual void orderOutProgressWindow() = 0;
    // Closed and dropped.
    virtual void closeProgressWindow() = 0;
};
