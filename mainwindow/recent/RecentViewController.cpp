#include "mainwindow/recent/RecentViewController.h"

#include "mainwindow/recent/CustomTableView.h"
#include "mainwindow/recent/RecentTableCellView.h"
#include "platform/files/ResourceValues.h"
#include "platform/interface/Alert.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/Workspace.h"

#include <QComboBox>
#include <QDateTime>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

HB_REGISTER_SCENE("HBRecentFiles", "RecentViewController", RecentViewController);

// The images live in this library's own resources, linked in only when asked for.
static void initialiseImages()
{
    Q_INIT_RESOURCE(recent);
}

namespace {

QIcon image(const QString& name)
{
    return QIcon(QStringLiteral(":/recent/images/%1.svg").arg(name));
}

hb::MetadataDate toDate(const QDateTime& moment)
{
    return hb::MetadataDate(std::chrono::milliseconds(moment.toMSecsSinceEpoch()));
}

const QString cellIdentifier = QStringLiteral("TableCell");

// Gone from where the search found it. A file the program may not read is still there: whether it can
// be shifted is the source's business, which says so itself.
bool hasVanished(const hb::URL& url)
{
    hb::Error error;
    if (hb::checkResourceIsReachable(url, &error))
        return false;
    return error.code == hb::NSFileNoSuchFileError || error.code == hb::NSFileReadNoSuchFileError;
}

}  // namespace

RecentViewController::RecentViewController(QWidget* parent) : hb::ViewController(parent)
{
    initialiseImages();
    checkboxDeselectedImage = image(QStringLiteral("checkbox"));
    checkboxSelectedImage = image(QStringLiteral("checkbox_selected"));
    doneButtonDisabledImage = image(QStringLiteral("button_disabled"));
    doneButtonActiveImage = image(QStringLiteral("button_active"));
    timeStart = timeEnd = std::chrono::system_clock::now();
    setAccessibleName(QStringLiteral("Recent files"));
}

RecentViewController::~RecentViewController()
{
    // Row views call back into the controller while they go.
    if (tableView) {
        tableView->setDelegate(nullptr);
        tableView->setDataSource(nullptr);
    }
}

void RecentViewController::loadView()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outerVisualEffect = new QWidget(this);
    // Dark, as the popover's vibrant material; palettes rather than style sheets keep making rows cheap.
    QPalette dark = outerVisualEffect->palette();
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, Qt::white);
    outerVisualEffect->setPalette(dark);
    outerVisualEffect->setAutoFillBackground(true);
    outer->addWidget(outerVisualEffect);
    auto* layout = new QVBoxLayout(outerVisualEffect);

    auto* filters = new QHBoxLayout;
    fileTypePopUpButton = new QComboBox(outerVisualEffect);
    fileTypePopUpButton->setAccessibleName(QStringLiteral("File type"));
    timeFramePopUpButton = new QComboBox(outerVisualEffect);
    timeFramePopUpButton->setAccessibleName(QStringLiteral("Time frame"));
    closeButton = new QPushButton(QStringLiteral("✕"), outerVisualEffect);
    closeButton->setAccessibleName(QStringLiteral("Close"));
    closeButton->setFlat(true);
    filters->addWidget(fileTypePopUpButton);
    filters->addWidget(timeFramePopUpButton);
    filters->addStretch(1);
    filters->addWidget(closeButton);
    layout->addLayout(filters);

    filesLoadingIndicator = new QProgressBar(outerVisualEffect);
    filesLoadingIndicator->setRange(0, 0);
    filesLoadingIndicator->setTextVisible(false);
    filesLoadingIndicator->setMaximumHeight(4);
    filesLoadingIndicator->setAccessibleName(QStringLiteral("Searching"));
    layout->addWidget(filesLoadingIndicator);

    scrollArea = new QScrollArea(outerVisualEffect);
    QScrollArea* scroll = scrollArea;
    scroll->setWidgetResizable(true);
    scroll->setMinimumSize(360, 300);
    tableView = new CustomTableView;
    tableView->setAccessibleName(QStringLiteral("Recent files list"));
    QPalette light = tableView->palette();
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    tableView->setPalette(light);
    tableView->setAutoFillBackground(true);
    tableView->setRowHeight(30);
    tableView->registerViewFactory(cellIdentifier, [] { return std::make_unique<RecentTableCellView>(); });
    scroll->setWidget(tableView);
    layout->addWidget(scroll, 1);

    auto* footer = new QHBoxLayout;
    recentItemsTextFiield = new QLabel(outerVisualEffect);
    recentItemsTextFiield->setAccessibleName(QStringLiteral("Recent items"));
    numberOfSelectedRowsTextField = new QLabel(outerVisualEffect);
    numberOfSelectedRowsTextField->setAccessibleName(QStringLiteral("Chosen items"));
    doneButton = new QPushButton(outerVisualEffect);
    doneButton->setAccessibleName(QStringLiteral("Done"));
    doneButton->setFlat(true);
    doneButton->setAutoFillBackground(true);
    doneButton->setFixedSize(80, 28);
    doneButton->setEnabled(false);
    showDoneImage(doneButtonDisabledImage);
    footer->addWidget(recentItemsTextFiield, 1);
    footer->addWidget(numberOfSelectedRowsTextField);
    footer->addWidget(doneButton);
    layout->addLayout(footer);

    connect(scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { makeRowsInSight(); });
    connect(scroll->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { makeRowsInSight(); });
    connect(fileTypePopUpButton, &QComboBox::activated, this, [this] { fileTypeChanged(); });
    connect(timeFramePopUpButton, &QComboBox::activated, this, [this] { timeFrameChanged(); });
    connect(doneButton, &QPushButton::clicked, this, [this] { doneButtonClicked(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { recentCloseButtonClicked(); });
}

void RecentViewController::viewDidLoad()
{
    filesLoadingIndicator->hide();
    fileTypePopUpButton->clear();
    fileTypePopUpButton->addItems(fileType);
    fileTypePopUpButton->setCurrentIndex(0);
    timeFramePopUpButton->clear();
    timeFramePopUpButton->addItems(timeFrame);
    timeFramePopUpButton->setCurrentIndex(2);
    doneButton->setText(QStringLiteral("Done"));
    QFont title(QStringLiteral("Helvetica Neue"));
    title.setPointSizeF(15);
    doneButton->setFont(title);
    tableView->setDelegate(this);
    tableView->setDataSource(this);
    datecalc();
    metadataQueryUtils = std::make_unique<MetadataQueryUtils>();
    metadataQueryUtils->delegate = this;
    querySearch();
}

std::pair<hb::MetadataDate, hb::MetadataDate> RecentViewController::timeWindow(int index, const QDateTime& now)
{
    const QDate today = now.date();
    switch (index) {
    case 0:
        return {toDate(today.startOfDay()), toDate(now)};
    case 1:
        return {toDate(now.addDays(-1).date().startOfDay()), toDate(today.startOfDay())};
    case 3:
        return {toDate(QDate(today.year(), today.month(), 1).startOfDay()), toDate(now)};
    default:
        break;
    }
    const int firstDay = QLocale::system().firstDayOfWeek();
    const int back = (today.dayOfWeek() - firstDay + 7) % 7;
    return {toDate(today.addDays(-back).startOfDay()), toDate(now)};
}

void RecentViewController::datecalc()
{
    std::tie(timeStart, timeEnd) = timeWindow(timeSelected, QDateTime::currentDateTime());
}

void RecentViewController::timeFrameChanged()
{
    timeSelected = timeFramePopUpButton->currentIndex();
    datecalc();
    querySearch();
}

void RecentViewController::fileTypeChanged()
{
    typeSelected = fileTypePopUpButton->currentText();
    querySearch();
}

void RecentViewController::querySearch()
{
    resultArray.clear();
    tableView->reloadData();
    filesLoadingIndicator->show();
    if (!metadataQueryUtils)
        return;
    if (metadataQueryUtils->metadataQuery) {
        metadataQueryUtils->metadataQuery->stopQuery();
        metadataQueryUtils->removeGatheringObserver();
        metadataQueryUtils->metadataQuery.reset();
    }
    metadataQueryUtils->startQuery(typeSelected, timeStart, timeEnd);
}

void RecentViewController::updateRecentFiles(std::vector<hb::MetadataItem> items)
{
    resultArray = std::move(items);
    filesLoadingIndicator->hide();
    scrollArea->verticalScrollBar()->setValue(0);
    tableView->reloadData();
}

std::int64_t RecentViewController::numberOfRowsInTableView(hb::TableView& table)
{
    const auto count = static_cast<std::int64_t>(resultArray.size());
    // Asked first by every reload: where the rows in sight are, once for all the rows.
    m_sight = rowsInSight();
    recentItemsTextFiield->setText(QStringLiteral("%1 recent items").arg(count));
    table.setProperty("gridColor", count == 0 ? QColor(Qt::transparent) : QColor::fromRgbF(0.8, 0.8, 0.8, 0.5));
    return count;
}

std::unique_ptr<QWidget> RecentViewController::tableViewViewForRow(hb::TableView& table, std::int64_t row)
{
    // Most rows are out of sight and nothing is chosen: they cost no more than this test.
    if (!isInSight(row) && selectedItemDict.isEmpty())
        return nullptr;
    const std::optional<QString> path = resultArray[static_cast<std::size_t>(row)].path();
    if (!path)
        return nullptr;
    const bool chosen = selectedItemDict.contains(*path);
    if (chosen)
        table.selectRowIndexes({row}, true);
    // Views are made for the rows in sight only; scrolling makes the others as they come.
    if (!isInSight(row))
        return nullptr;
    const hb::URL url = hb::URL::fileURLWithPath(*path);
    const QString extension = url.pathExtension();
    if (!iconImageDictionary.contains(extension))
        iconImageDictionary.insert(extension, hb::Workspace::iconForFile(*path));

    auto cell = table.makeViewWithIdentifier<RecentTableCellView>(cellIdentifier);
    if (!cell)
        return nullptr;
    cell->setFileName(url.lastPathComponent());
    cell->fileThumbnailImageView->setPixmap(iconImageDictionary.value(extension).pixmap(24, 24));
    cell->showFileButton->hide();
    cell->selectFileButton->setProperty("tag", static_cast<qlonglong>(row + 1));
    setCheckbox(cell->selectFileButton, chosen);
    // A reused cell keeps its connections: make them once.
    if (!cell->property("wired").toBool()) {
        cell->setProperty("wired", true);
        QPushButton* box = cell->selectFileButton;
        QPushButton* reveal = cell->showFileButton;
        // Toggled, not clicked: assistive technologies toggle a check box without clicking it.
        connect(box, &QPushButton::toggled, this, [this, box] { selectFileClicked(box); });
        connect(reveal, &QPushButton::clicked, this, [this, reveal] { showFileButtonAction(reveal); });
    }
    return cell;
}

std::pair<std::int64_t, std::int64_t> RecentViewController::rowsInSight() const
{
    constexpr std::int64_t margin = 10;
    const auto height = std::max<std::int64_t>(1, static_cast<std::int64_t>(tableView->rowHeight()));
    const std::int64_t top = scrollArea ? scrollArea->verticalScrollBar()->value() : 0;
    const std::int64_t shown = scrollArea ? scrollArea->viewport()->height() : tableView->height();
    return {std::max<std::int64_t>(0, top / height - margin), (top + shown) / height + margin};
}

bool RecentViewController::isInSight(std::int64_t row) const
{
    return row >= m_sight.first && row <= m_sight.second;
}

void RecentViewController::makeRowsInSight()
{
    m_sight = rowsInSight();
    const auto [first, last] = m_sight;
    std::set<std::int64_t> missing;
    for (std::int64_t row = first; row <= last && row < tableView->numberOfRows(); ++row) {
        if (!tableView->viewAtRow(row) && resultArray[static_cast<std::size_t>(row)].path())
            missing.insert(row);
    }
    if (!missing.empty())
        tableView->reloadDataForRowIndexes(missing);
}

void RecentViewController::setCheckbox(QPushButton* box, bool on)
{
    const QSignalBlocker quiet(box);
    box->setChecked(on);
    box->setIcon(on ? checkboxSelectedImage : checkboxDeselectedImage);
}

void RecentViewController::setRowSelected(std::int64_t row, bool selected)
{
    if (selected) {
        tableView->selectRowIndexes({row}, true);
        return;
    }
    std::set<std::int64_t> rows = tableView->selectedRowIndexes();
    rows.erase(row);
    tableView->selectRowIndexes(rows, false);
}

void RecentViewController::selectFileClicked(QPushButton* sender)
{
    const std::int64_t row = sender->property("tag").toLongLong() - 1;
    if (sender->isChecked()) {
        setCheckbox(sender, true);
        selectionDictionary(row, false);
        setRowSelected(row, true);
    } else {
        setCheckbox(sender, false);
        setRowSelected(row, false);
        selectionDictionary(row, true);
    }
}

void RecentViewController::tableViewDidClickRow(hb::TableView& table, std::int64_t row)
{
    QPushButton* box = nullptr;
    for (QPushButton* button : table.findChildren<QPushButton*>()) {
        if (button->property("tag").toLongLong() == row + 1)
            box = button;
    }
    if (!box)
        return;
    if (!table.selectedRowIndexes().count(row)) {
        setCheckbox(box, true);
        setRowSelected(row, true);
        selectionDictionary(row, false);
    } else {
        setCheckbox(box, false);
        setRowSelected(row, false);
        selectionDictionary(row, true);
    }
}

void RecentViewController::selectionDictionary(std::int64_t row, bool deselect)
{
    if (row < 0 || row >= static_cast<std::int64_t>(resultArray.size()))
        return;
    const std::optional<QString> path = resultArray[static_cast<std::size_t>(row)].path();
    if (path) {
        if (deselect)
            selectedItemDict.remove(*path);
        else
            selectedItemDict.insert(*path, hb::URL::fileURLWithPath(*path));
        selectionCount();
        return;
    }
    removeMissingRow(row);
}

void RecentViewController::removeMissingRow(std::int64_t row)
{
    if (const std::optional<QString> path = resultArray[static_cast<std::size_t>(row)].path();
        path && selectedItemDict.remove(*path))
        selectionCount();
    resultArray.erase(resultArray.begin() + row);
    tableView->reloadData();
    alertDialogOKCancelWithErrortitle(QStringLiteral("File not Found"),
                                      QStringLiteral("File Deleted/Moved. Refresh and Try again"));
}

void RecentViewController::showDoneImage(const QIcon& image)
{
    // The image is the button's face, its title white on it in either state.
    QPalette palette = doneButton->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setBrush(group, QPalette::Button, QBrush(image.pixmap(doneButton->size())));
        palette.setColor(group, QPalette::ButtonText, Qt::white);
    }
    doneButton->setPalette(palette);
}

void RecentViewController::selectionCount()
{
    const auto count = selectedItemDict.size();
    numberOfSelectedRowsTextField->setText(QString::number(count));
    doneButton->setEnabled(count > 0);
    showDoneImage(count > 0 ? doneButtonActiveImage : doneButtonDisabledImage);
}

void RecentViewController::showFileButtonAction(QPushButton* sender)
{
    const std::int64_t row = tableView->rowForView(sender);
    if (row < 0 || row >= static_cast<std::int64_t>(resultArray.size()))
        return;
    const std::optional<QString> path = resultArray[static_cast<std::size_t>(row)].path();
    if (!path) {
        removeMissingRow(row);
        return;
    }
    const hb::URL url = hb::URL::fileURLWithPath(*path);
    if (!hasVanished(url)) {
        hb::Workspace::activateFileViewerSelectingURLs({url});
        return;
    }
    // Gone since the search: the row leaves the list, and a chosen file leaves the choice with it.
    removeMissingRow(row);
}

void RecentViewController::alertDialogOKCancelWithErrortitle(const QString& title, const QString& text)
{
    hb::Alert alert;
    alert.messageText = title;
    alert.informativeText = text;
    alert.alertStyle = hb::AlertStyle::warning;
    alert.addButtonWithTitle(QStringLiteral("OK"));
    alert.runModal();
}

void RecentViewController::doneButtonClicked()
{
    bool missing = false;
    for (auto chosen = selectedItemDict.begin(); chosen != selectedItemDict.end();) {
        if (hasVanished(chosen.value())) {
            chosen = selectedItemDict.erase(chosen);
            missing = true;
        } else {
            ++chosen;
        }
    }
    const QList<hb::URL> urls = selectedItemDict.values();
    if (missing)
        alertDialogOKCancelWithErrortitle(QStringLiteral("File not Found"),
                                          QStringLiteral("File Deleted/Moved. Refresh and Try again"));
    if (delegate)
        delegate->onResult(urls);
    selectedItemDict.clear();
    tableView->reloadData();
    selectionCount();
}

void RecentViewController::recentCloseButtonClicked()
{
    if (delegate)
        delegate->onClose();
}
