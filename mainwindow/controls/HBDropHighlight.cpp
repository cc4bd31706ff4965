#include "mainwindow/controls/HBDropHighlight.h"

#include "core/store/HBConstants.h"
#include "platform/interface/DraggingInfo.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QPainter>
#include <QWindow>

HBDropHighlight::HBDropHighlight(QWidget* view) : QWidget(view), m_view(view)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(view->rect());
    hide();
    view->installEventFilter(this);
    QCoreApplication::instance()->installEventFilter(this);
}

bool HBDropHighlight::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Resize) {
        setGeometry(m_view->rect());
        return false;
    }
    const QWindow* window = m_view ? m_view->window()->windowHandle() : nullptr;
    if (!window || watched != window)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        // Tiles being reordered are no files coming in.
        const hb::DraggingInfo info = hb::DraggingInfo::fromDropEvent(*static_cast<QDropEvent*>(event));
        const bool files = info.draggingPasteboard().containsType(hb::fileURLPasteboardType)
                           && !info.draggingPasteboard().containsType(reorderPasteboardType)
                           && !info.draggingPasteboard().fileURLs().isEmpty();
        setVisible(files);
        if (files)
            raise();
        break;
    }
    case QEvent::DragLeave:
    case QEvent::Drop:
        hide();
        break;
    default:
        break;
    }
    return false;
}

void HBDropHighlight::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr qreal width = 3;
    painter.setPen(QPen(palette().color(QPalette::Highlight), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2), 6, 6);
}
