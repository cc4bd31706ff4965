#pragma once

#include "core/engine/HBEngineTypes.h"
#include "mainwindow/progress/HBFileProgressUIDelegate.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/TableView.h"
#include "platform/interface/ViewController.h"

#include <QList>

#include <cstdint>
#include <memory>
#include <optional>

class HBFileConflictCellView;
class HBProgressDataSource;
class HBProgressTableViewCell;
class Scroller;
namespace Ui {
class HBProgressView;
}

// The list of the progress window: one row per operation in the manager's key list, drawn from the
// operation's progress record each time the row is made.
class HBProgressViewController : public hb::ViewController,
                                 public hb::TableViewDataSource,
                                 public hb::TableViewDelegate,
                                 public HBFileProgressUIDelegate {
    Q_OBJECT
public:
    explicit HBProgressViewController(QWidget* parent = nullptr);
    ~HBProgressViewController() override;

    // The operations manager; it outlives the window.
    HBProgressDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(HBProgressDataSource* dataSource) { m_dataSource = dataSource; }

    Scroller* scrollView() const;
    hb::TableView* tableView() const;
    static std::optional<hb::Storyboard> storyboard();

    // Refreshes the given rows (none: nothing at all) or, with reloadAll, the whole table.
    void reloadData(const std::optional<QList<std::int64_t>>& rows, bool reloadAll);
    // The scroll view follows the rows' heights up to 600, then the table scrolls.
    void setTableViewHeight();
    void configureNormalCell(HBProgressTableViewCell& cell, std::int64_t row, std::int64_t identifier,
                             const ProgressData& progress);
    void configureConflictCell(HBFileConflictCellView& cell, std::int64_t row, std::int64_t identifier,
                               const ProgressData& progress);

    // HBFileProgressUIDelegate
    void closeRow(QWidget* rowView) override;
    void ruleChosen(const Rule& rule, QWidget* cell) override;

    // Row texts and heights.
    static QString normalStatusText(const ProgressData& progress);
    static QString conflictStatusText(const ProgressData& progress);
    static double rowHeight(const ProgressData& progress);

    // Table data source and delegate.
    std::int64_t numberOfRowsInTableView(hb::TableView& tableView) override;
    std::unique_ptr<QWidget> tableViewViewForRow(hb::TableView& tableView, std::int64_t row) override;
    double tableViewHeightOfRow(hb::TableView& tableView, std::int64_t row) override;
    bool tableViewShouldSelectRow(hb::TableView& tableView, std::int64_t row) override;

protected:
    void loadView() override;
    void viewWillAppear() override;

private:
    void answer(QWidget* rowView, Instruction instruction, bool applyToAll);
    bool dividerHidden(std::int64_t row);

    std::unique_ptr<Ui::HBProgressView> m_ui;
    HBProgressDataSource* m_dataSource = nullptr;
};
