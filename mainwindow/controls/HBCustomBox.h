#pragma once

#include <QColor>
#include <QFrame>

// A box with its own fill colour (animatable) and a one-point border that is invisible. It can also draw
// a focus ring, and light up as the target of a drop, in the desktop's highlight colour.
class HBCustomBox : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
public:
    explicit HBCustomBox(QWidget* parent = nullptr);

    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor& color);

    bool showsFocusRing() const { return m_focusRing; }
    void setShowsFocusRing(bool shows);
    bool isDropHighlighted() const { return m_dropHighlight; }
    void setDropHighlighted(bool highlighted);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fillColor = Qt::transparent;
    QColor m_borderColor = QColor::fromRgbF(1.0, 0.0, 0.0, 0.0);
    double m_borderWidth = 1.0;
    bool m_focusRing = false;
    bool m_dropHighlight = false;
};
