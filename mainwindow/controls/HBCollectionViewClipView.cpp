#include "mainwindow/controls/HBCollectionViewClipView.h"

#include "core/store/HBConstants.h"
#include "platform/base/MainQueue.h"
#include "platform/base/NotificationCenter.h"

#include <QPointer>

namespace {
constexpr int standardWidth = 332;
}

HBCollectionViewClipView::HBCollectionViewClipView(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(false);
}

void HBCollectionViewClipView::viewFrameChanged()
{
    if (width() == standardWidth)
        return;
    // Announced after the frame change has finished, with the width it has then.
    hb::MainQueue::async([clipView = QPointer<HBCollectionViewClipView>(this)] {
        if (!clipView)
            return;
        hb::NotificationCenter::defaultCenter().post(changeSizeNotification, nullptr,
                                                     {{sizeUserInfoKey, double(clipView->width())}});
    });
}

void HBCollectionViewClipView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    viewFrameChanged();
}
