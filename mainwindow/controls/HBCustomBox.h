#pragma once

#include <QColor>
#include <QFrame>

// A box with its own fill colour (animatable) and a one-point border that is invisible.
class HBCustomBox : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
public:
    explicit HBCustomBox(QWidget* parent = nullptr);

    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor& color);
    QColor borderColor() const { return m_borderColor; }
    double borderWidth() const { return m_borderWidth; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fillColor = Qt::transparent;
    QColor m_borderColor = QColor::fromRgbF(1.0, 0.0, 0.0, 0.0);
    double m_borderWidth = 1.0;
};
