#include "platform/interface/WrappingLabel.h"

#include "platform/interface/AccessibleInterface.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace hb {

namespace {

class AccessibleWrappingLabel : public QAccessibleWidget {
public:
    explicit AccessibleWrappingLabel(WrappingLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<WrappingLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

// Lays the text out at `width` and answers the height of the lines used.
double layOut(QTextLayout& layout, double width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

}  // namespace

WrappingLabel::WrappingLabel(QWidget* parent) : QWidget(parent)
{
    installAccessibleInterface<WrappingLabel, AccessibleWrappingLabel>();
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrappingLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    emit textChanged(m_text);
}

double WrappingLabel::heightForText(const QString& text, const QFont& font, double width)
{
    QTextLayout layout(text, font);
    return layOut(layout, width);
}

int WrappingLabel::heightForWidth(int width) const
{
    return static_cast<int>(std::ceil(heightForText(m_text, font(), width)));
}

QSize WrappingLabel::sizeHint() const
{
    const int width = qMax(this->width(), 100);
    return {width, heightForWidth(width)};
}

void WrappingLabel::paintEvent(QPaintEvent*)
{
    QTextLayout layout(m_text, font());
    layOut(layout, width());
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, QPointF(0, 0));
}

}  // namespace hb
