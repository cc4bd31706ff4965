#pragma once

#include <QMenu>

class QAction;

// The menu with "Send Feedback…" and "Check for Updates…" (the main window's settings menu takes its
// items). The update item is hidden when there is no updater: a packaged Harbrill is updated by the
// package manager.
class MenuActionsClass : public QMenu {
    Q_OBJECT
public:
    explicit MenuActionsClass(QWidget* parent = nullptr);

    QAction* feedbackAction = nullptr;
    QAction* updateAction = nullptr;

    void launchFeedbackWindow(QObject* sender);
    void checkForUpdate(QObject* sender);
};
