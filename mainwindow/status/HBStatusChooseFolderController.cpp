#include "mainwindow/status/HBStatusChooseFolderController.h"

#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/status/HBFilePreview.h"
#include "mainwindow/status/HBSourceViewController.h"
#include "mainwindow/status/HBStatusPaneLayout.h"
#include "platform/base/Bundle.h"
#include "platform/base/NotificationCenter.h"
#include "platform/interface/LayerAnimation.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <limits>

namespace {
const QString chooseFolderText = QStringLiteral("Choose a folder above");
const QString chooseFolderSubText = QStringLiteral("to move/copy selected items");
const QString placeholderStatusText = QStringLiteral("No files selected");
const QString placeholderSubText = QStringLiteral("select files to move or copy them");
}  // namespace

HBStatusChooseFolderController::HBStatusChooseFolderController(QWidget* parent)
    : hb::ViewController(parent), m_preview(new HBFilePreview(this))
{
    connect(m_preview, &HBFilePreview::previewReady, this, [this](const QImage& image) { showPreview(image); });
}

void HBStatusChooseFolderController::loadView()
{
    HBStatusPaneLayout layout(this);
    previewImageView = new HBNoDragImageView(this);
    previewImageView->setFixedSize(HBFilePreview::kSide, HBFilePreview::kSide);
    previewImageView->setAccessibleName(QStringLiteral("Preview"));
    layout.addLeading(previewImageView);
    fileCountLabel = new QLabel(this);
    // Named by what it shows ("3 selected"), as the status lines are.
    fileCountLabel->setAccessibleDescription(QStringLiteral("Selected Files"));
    layout.addLeading(fileCountLabel);
    statusLine = layout.addLine(chooseFolderText, QStringLiteral("Status"));
    subText = layout.addSubLine(chooseFolderSubText);
    sourceList = layout.addButton(QStringLiteral("Files"), QStringLiteral("Show Selected Files"));
    connect(sourceList, &QPushButton::clicked, this, [this] { showSourceList(); });
    cancelSelectionButton = layout.addButton(QStringLiteral("✕"), QStringLiteral("Cancel Selection"));
    cancelSelectionButton->setToolTip(QStringLiteral("Let the selected files go"));
    connect(cancelSelectionButton, &QPushButton::pressed, this, [this] { m_pressedOn = sourceURLS; });
    connect(cancelSelectionButton, &QPushButton::clicked, this, [this] {
        if (m_pressedOn == sourceURLS)
            cancelSelection();
    });
}

QString HBStatusChooseFolderController::fileCountText(const QList<hb::URL>& urls, std::optional<DataSource> dataSource)
{
    const bool recent = dataSource == DataSource::recentFiles;
    if (urls.size() == 1)
        return (recent ? QStringLiteral("Recent File: ") : QString()) + urls.first().lastPathComponent();
    return QString::number(urls.size()) + (recent ? QStringLiteral(" recent files") : QString())
           + QStringLiteral(" selected");
}

void HBStatusChooseFolderController::updateStatus(const std::optional<QList<hb::URL>>& urls,
                                                  std::optional<DataSource> dataSource)
{
    loadViewIfNeeded();
    sourceURLS = urls;
    if (!urls || urls->isEmpty())
        return;
    previewImageView->show();
    fileCountLabel->show();
    fileCountLabel->setText(fileCountText(*urls, dataSource));
    m_preview->request(*urls);
    statusLine->setText(chooseFolderText);
    subText->setText(chooseFolderSubText);
    hb::LayerAnimation::addAnimation(
        fileCountLabel, {QStringLiteral("opacity"), 1.0, 0.3, 0.8, true, std::numeric_limits<float>::max()},
        QStringLiteral("opacity"));
    hb::LayerAnimation::setOpacity(fileCountLabel, 1.0);
    fileCountLabel->show();
    cancelSelectionButton->show();
}

void HBStatusChooseFolderController::showClickHint(const QString& hint)
{
    if (!subText || !sourceURLS || sourceURLS->isEmpty())
        return;
    subText->setText(hint.isEmpty() ? chooseFolderSubText : hint);
}

void HBStatusChooseFolderController::showPreview(const QImage& image)
{
    if (previewImageView)
        previewImageView->setPixmap(QPixmap::fromImage(image));
}

void HBStatusChooseFolderController::updateStatusInitalState()
{
    loadViewIfNeeded();
    const QString placeholder = hb::Bundle::pathForResource(QStringLiteral("images"), QStringLiteral("filePlaceholder"),
                                                            {QStringLiteral("svg"), QStringLiteral("png")});
    previewImageView->setPixmap(placeholder.isEmpty() ? QPixmap() : QPixmap(placeholder));
    fileCountLabel->hide();
    hb::LayerAnimation::removeAnimation(statusLine, QStringLiteral("opacity"));
    hb::LayerAnimation::setOpacity(statusLine, 1.0);
    for (QLabel* label : {statusLine.data(), subText.data()})
        label->setStyleSheet(QStringLiteral("color: grey;"));
    statusLine->setText(placeholderStatusText);
    subText->setText(placeholderSubText);
    sourceList->hide();
    previewImageView->hide();
    cancelSelectionButton->hide();
}

void HBStatusChooseFolderController::cancelSelection()
{
    hb::NotificationCenter::defaultCenter().post(emptySourceNotification, nullptr);
}

void HBStatusChooseFolderController::prepareForSegue(const hb::StoryboardSegue& segue)
{
    if (segue.identifier != QLatin1String(sourceListSegueIdentifier))
        return;
    auto* list = qobject_cast<HBSourceViewController*>(segue.destinationController.data());
    if (list && sourceURLS)
        list->loadData(*sourceURLS);
}

void HBStatusChooseFolderController::showSourceList()
{
    if (m_sourceListPopover)
        return;
    auto list = std::make_unique<HBSourceViewController>();
    prepareForSegue({QString::fromLatin1(sourceListSegueIdentifier), this, list.get()});
    m_sourceListPopover = new hb::Popover(std::move(list), hb::PopoverBehavior::transient);
    m_sourceListPopover->showRelativeToRect(sourceList->rect(), sourceList, hb::RectEdge::maxY);
}
