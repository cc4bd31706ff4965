#include "app/feedback/CustomTextView.h"

#include <QPainter>

CustomTextView::CustomTextView(QWidget* parent) : QPlainTextEdit(parent)
{
    QPalette colours = palette();
    colours.setColor(QPalette::Text, QColor::fromRgbF(1, 1, 1, 0.8f));
    setPalette(colours);
}

void CustomTextView::focusInEvent(QFocusEvent* event)
{
    viewport()->update();
    QPlainTextEdit::focusInEvent(event);
}

void CustomTextView::paintEvent(QPaintEvent* event)
{
    QPlainTextEdit::paintEvent(event);
    if (!document()->isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(placeHolderColor);
    const int margin = int(document()->documentMargin());
    const QRect area = viewport()->rect().adjusted(margin, margin, -margin, -margin);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, placeHolderString);
}
