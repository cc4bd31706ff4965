#pragma once

#include "platform/interface/TableView.h"
#include "platform/interface/ViewController.h"

#include <QPointer>
#include <QVariantMap>

#include <memory>
#include <vector>

class QLabel;

namespace Ui {
class HBAboutBox;
}

// The about box: the version, and rows for the web pages, the support mail, the feedback window and
// the update check.
class HBAboutBoxController : public hb::ViewController, public hb::TableViewDataSource, public hb::TableViewDelegate {
    Q_OBJECT
public:
    explicit HBAboutBoxController(QWidget* parent = nullptr);
    ~HBAboutBoxController() override;

    QPointer<QLabel> versionLabel;

    // "Version: <short version> (<build>)" from the information resource; unchanged when either key is
    // missing.
    void setVersionLabel();
    void setVersionLabel(const QVariantMap& infoDictionary);

    void showHarbrillWebsite();
    void showMoreApps();
    void showTermsandCondition();
    // A new mail to the support address with the subject "I have a query about Harbrill".
    void showContactSupport();
    // Closes the about box, then opens a new feedback window.
    void launchFeedbackWindow();
    void checkForUpdate(QObject* sender);

    std::int64_t numberOfRowsInTableView(hb::TableView& tableView) override;
    std::unique_ptr<QWidget> tableViewViewForRow(hb::TableView& tableView, std::int64_t row) override;

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    struct Row {
        QString objectName;
        QString title;
        void (HBAboutBoxController::*action)();
    };
    void openPage(const QString& infoKey);
    void checkForUpdateFromRow();

    std::unique_ptr<Ui::HBAboutBox> ui;
    std::vector<Row> m_rows;
};
