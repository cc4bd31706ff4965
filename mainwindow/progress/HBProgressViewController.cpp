#include "mainwindow/progress/HBProgressViewController.h"

#include "core/engine/HBProgressDataSource.h"
#include "mainwindow/progress/HBFileConflictCellView.h"
#include "mainwindow/progress/HBProgressTableViewCell.h"
#include "mainwindow/progress/Scroller.h"
#include "platform/interface/WrappingLabel.h"
#include "ui_HBProgressView.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <set>

namespace {

constexpr double statusWidth = 322;
constexpr double rowPadding = 47;
constexpr double applyToAllRowHeight = 26;
constexpr int maximumTableHeight = 600;
const QString normalIdentifier = QStringLiteral("Normal");
const QString conflictIdentifier = QStringLiteral("Conflict");

QString sourceName(const ProgressData& progress)
{
    return progress.currentFileURL ? progress.currentFileURL->lastPathComponent() : QString();
}

// The destination URL names the item itself; the row names the folder receiving it.
QString destinationFolderName(const ProgressData& progress)
{
    return progress.currentDestinationURL.deletingLastPathComponent().lastPathComponent();
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool isConflict(const ProgressData& progress)
{
    return progress.operationState == OperationState::waitingForInstruction;
}

bool showsApplyToAll(const ProgressData& progress)
{
    return progress.numberOfSource != 1;
}

}  // namespace

HBProgressViewController::HBProgressViewController(QWidget* parent)
    : hb::ViewController(parent), m_ui(std::make_unique<Ui::HBProgressView>())
{
}

HBProgressViewController::~HBProgressViewController() = default;

void HBProgressViewController::loadView()
{
    m_ui->setupUi(this);
    m_ui->scrollView->setWidget(m_ui->tableView);
    hb::TableView* table = m_ui->tableView;
    table->setDataSource(this);
    table->setDelegate(this);
    table->registerViewFactory(normalIdentifier, [] { return std::make_unique<HBProgressTableViewCell>(); });
    table->registerViewFactory(conflictIdentifier, [] { return std::make_unique<HBFileConflictCellView>(); });
}

void HBProgressViewController::viewWillAppear()
{
    // Shown again after the program hid its windows: rows were not refreshed while hidden.
    tableView()->reloadData();
    setTableViewHeight();
}

Scroller* HBProgressViewController::scrollView() const
{
    return m_ui->scrollView;
}

hb::TableView* HBProgressViewController::tableView() const
{
    return m_ui->tableView;
}

std::optional<hb::Storyboard> HBProgressViewController::storyboard()
{
    return hb::Storyboard::storyboardWithName(QStringLiteral("HBProgress"));
}

void HBProgressViewController::reloadData(const std::optional<QList<std::int64_t>>& rows, bool reloadAll)
{
    loadViewIfNeeded();
    if (reloadAll) {
        tableView()->reloadData();
    } else {
        if (!rows || !m_dataSource || m_dataSource->numberOfRows() == 0)
            return;
        const std::set<std::int64_t> rowSet(rows->begin(), rows->end());
        tableView()->reloadDataForRowIndexes(rowSet);
        tableView()->noteHeightOfRowsWithIndexesChanged(rowSet);
    }
    setTableViewHeight();
}

void HBProgressViewController::setTableViewHeight()
{
    loadViewIfNeeded();
    const std::int64_t count = m_dataSource ? m_dataSource->numberOfRows() : 0;
    int height = 0;
    for (std::int64_t row = 0; row < count; ++row)
        height += tableView()->rectOfRow(row).height();
    scrollView()->setFixedHeight(std::min(height, maximumTableHeight));
}

bool HBProgressViewController::dividerHidden(std::int64_t row)
{
    return row == 0 && numberOfRowsInTableView(*tableView()) == 1;
}

void HBProgressViewController::configureNormalCell(HBProgressTableViewCell& cell, std::int64_t row, std::int64_t,
                                                   const ProgressData& progress)
{
    cell.divider()->setHidden(dividerHidden(row));
    cell.status()->setText(normalStatusText(progress));
    if (progress.totalSizeOfFiles != 0) {
        const double percent = static_cast<double>(progress.completedSizeOfFiles) * 100.0
                               / static_cast<double>(progress.totalSizeOfFiles);
        // A file that grew while it was copied must not push the bar out of its range.
        cell.progressBar()->setValue(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
    }
}

void HBProgressViewController::configureConflictCell(HBFileConflictCellView& cell, std::int64_t row, std::int64_t,
                                                     const ProgressData& progress)
{
    cell.skip()->setVisible(true);
    cell.applyToAll()->setVisible(true);
    cell.divider()->setHidden(dividerHidden(row));
    cell.status()->setText(conflictStatusText(progress));
    cell.keepBoth()->setText(QStringLiteral("Keep Both"));
    cell.applyToAll()->setChecked(progress.fileShiftRule && progress.fileShiftRule->applyToAll);
    if (!showsApplyToAll(progress)) {
        cell.skip()->setVisible(false);
        cell.applyToAll()->setVisible(false);
        cell.applyToAll()->setChecked(true);
    }
    if (progress.fileAction == Action::move)
        cell.skip()->setVisible(false);
}

void HBProgressViewController::closeRow(QWidget* rowView)
{
    answer(rowView, Instruction::stop, true);
}

void HBProgressViewController::ruleChosen(const Rule& rule, QWidget* cell)
{
    answer(cell, rule.instruction, rule.applyToAll);
}

void HBProgressViewController::answer(QWidget* rowView, Instruction instruction, bool applyToAll)
{
    if (!m_dataSource)
        return;
    const std::int64_t row = tableView()->rowForView(rowView);
    const std::int64_t identifier = m_dataSource->identifierAtRow(row);
    if (row < 0 || identifier < 0)
        return;
    // A conflict row outlives its question (after Skip it stays until the next full reload): only
    // Stop may still be answered once the operation has resumed.
    if (instruction != Instruction::stop) {
        const std::optional<ProgressData> progress = m_dataSource->progress(identifier);
        if (!progress || !isConflict(*progress))
            return;
    }
    m_dataSource->applyRule(identifier, instruction, applyToAll);
}

QString HBProgressViewController::normalStatusText(const ProgressData& progress)
{
    if (!progress.currentFileURL)
        return QStringLiteral("Preparing to copy…");
    return QStringLiteral("Copying ") + quoted(sourceName(progress)) + QStringLiteral(" to ")
           + quoted(destinationFolderName(progress));
}

QString HBProgressViewController::conflictStatusText(const ProgressData& progress)
{
    return QStringLiteral("File ") + quoted(sourceName(progress)) + QStringLiteral(" exists in ")
           + quoted(destinationFolderName(progress)) + QStringLiteral(". What do you want to do?");
}

double HBProgressViewController::rowHeight(const ProgressData& progress)
{
    const bool conflict = isConflict(progress);
    const QString text = conflict ? conflictStatusText(progress) : normalStatusText(progress);
    double height = hb::WrappingLabel::heightForText(text, HBProgressTableViewCell::statusFont(), statusWidth)
                    + rowPadding;
    // Room for the apply-to-all box: for several files, and whenever the box is shown at all.
    if (conflict && (progress.totalCountOfFiles > 1 || showsApplyToAll(progress)))
        height += applyToAllRowHeight;
    return height;
}

std::int64_t HBProgressViewController::numberOfRowsInTableView(hb::TableView&)
{
    return m_dataSource ? m_dataSource->numberOfRows() : 0;
}

std::unique_ptr<QWidget> HBProgressViewController::tableViewViewForRow(hb::TableView& table, std::int64_t row)
{
    if (!m_dataSource)
        return nullptr;
    const std::int64_t identifier = m_dataSource->identifierAtRow(row);
    const std::optional<ProgressData> progress = m_dataSource->progress(identifier);
    if (!progress)
        return nullptr;
    if (isConflict(*progress)) {
        auto cell = table.makeViewWithIdentifier<HBFileConflictCellView>(conflictIdentifier);
        cell->delegate = this;
        configureConflictCell(*cell, row, identifier, *progress);
        return cell;
    }
    auto cell = table.makeViewWithIdentifier<HBProgressTableViewCell>(normalIdentifier);
    cell->delegate = this;
    configureNormalCell(*cell, row, identifier, *progress);
    return cell;
}

double HBProgressViewController::tableViewHeightOfRow(hb::TableView&, std::int64_t row)
{
    if (!m_dataSource)
        return 0;
    const std::optional<ProgressData> progress = m_dataSource->progress(m_dataSource->identifierAtRow(row));
    return progress ? rowHeight(*progress) : 0;
}

bool HBProgressViewController::tableViewShouldSelectRow(hb::TableView&, std::int64_t)
{
    return false;
}
