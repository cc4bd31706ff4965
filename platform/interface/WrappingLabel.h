#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

namespace hb {

// A read-only text field that wraps at word boundaries and breaks a word that does not fit on a
// line of its own, so a long file name never runs past its width. Assistive technologies read it as
// a label of its text.
class WrappingLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
public:
    explicit WrappingLabel(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // The height the text takes in `font` at `width` (lines laid out as the label draws them).
    static double heightForText(const QString& text, const QFont& font, double width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

}  // namespace hb
