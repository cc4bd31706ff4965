#pragma once

#include "mainwindow/recent/MetadataQueryUtils.h"
#include "platform/base/URL.h"
#include "platform/interface/TableView.h"
#include "platform/interface/ViewController.h"

#include <QIcon>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

class CustomTableView;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;

// What the main window does with the browser's answer.
class recentFilesProtocol {
public:
    virtual ~recentFilesProtocol() = default;
    // The chosen files become the source; the browser is dismissed.
    virtual void onResult(const QList<hb::URL>& urls) = 0;
    // The browser is dismissed, the source left as it is.
    virtual void onClose() = 0;
};

// The recent-files browser: files added under the home folder, narrowed by a file-type group and a time
// frame, newest first; the user ticks some and Done hands them over. Chosen files are kept by path, so
// a file ticked under one filter is the same choice under another and is handed over once.
class RecentViewController : public hb::ViewController,
                             public recentViewProtocol,
                             public hb::TableViewDataSource,
                             public hb::TableViewDelegate,
                             public NSTableViewClickableDelegate {
    Q_OBJECT
public:
    explicit RecentViewController(QWidget* parent = nullptr);
    ~RecentViewController() override;

    QPointer<QLabel> recentItemsTextFiield;
    QPointer<QWidget> outerVisualEffect;
    QPointer<QPushButton> doneButton;
    QPointer<QPushButton> closeButton;
    QPointer<QLabel> numberOfSelectedRowsTextField;
    QPointer<QProgressBar> filesLoadingIndicator;
    QPointer<QComboBox> fileTypePopUpButton;
    QPointer<QComboBox> timeFramePopUpButton;
    QPointer<CustomTableView> tableView;
    QPointer<QScrollArea> scrollArea;

    const QStringList fileType{QStringLiteral("All Type"), QStringLiteral("Archive"), QStringLiteral("Folder"),
                               QStringLiteral("Music"),    QStringLiteral("PDF"),     QStringLiteral("Photos"),
                               QStringLiteral("Text"),     QStringLiteral("Videos"),  QStringLiteral("Other")};
    const QStringList timeFrame{QStringLiteral("Today"), QStringLiteral("Yesterday"), QStringLiteral("This Week"),
                                QStringLiteral("This Month")};
    QString typeSelected = QStringLiteral("All Type");
    int timeSelected = 2;
    hb::MetadataDate timeStart;
    hb::MetadataDate timeEnd;
    QIcon checkboxDeselectedImage;
    QIcon checkboxSelectedImage;
    QIcon doneButtonDisabledImage;
    QIcon doneButtonActiveImage;
    QMap<QString, QIcon> iconImageDictionary;  // by path extension
    std::unique_ptr<MetadataQueryUtils> metadataQueryUtils;
    std::vector<hb::MetadataItem> resultArray;
    QMap<QString, hb::URL> selectedItemDict;  // chosen files by path
    recentFilesProtocol* delegate = nullptr;

    // The window for a time-frame index at `now`: start and end, both exclusive.
    static std::pair<hb::MetadataDate, hb::MetadataDate> timeWindow(int index, const QDateTime& now);
    void datecalc();
    void querySearch();
    void timeFrameChanged();
    void fileTypeChanged();

    void updateRecentFiles(std::vector<hb::MetadataItem> items) override;
    std::int64_t numberOfRowsInTableView(hb::TableView& tableView) override;
    std::unique_ptr<QWidget> tableViewViewForRow(hb::TableView& tableView, std::int64_t row) override;
    void tableViewDidClickRow(hb::TableView& tableView, std::int64_t row) override;

    void selectFileClicked(QPushButton* sender);
    void showFileButtonAction(QPushButton* sender);
    void selectionDictionary(std::int64_t row, bool deselect);
    void selectionCount();
    void doneButtonClicked();
    void recentCloseButtonClicked();
    void alertDialogOKCancelWithErrortitle(const QString& title, const QString& text);

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    std::pair<std::int64_t, std::int64_t> rowsInSight() const;
    bool isInSight(std::int64_t row) const;
    void makeRowsInSight();
    void setRowSelected(std::int64_t row, bool selected);
    void setCheckbox(QPushButton* box, bool on);
    void showDoneImage(const QIcon& image);

    std::pair<std::int64_t, std::int64_t> m_sight{0, -1};  // rows whose views are made
    void removeMissingRow(std::int64_t row);
};
