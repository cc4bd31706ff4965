#pragma once

#include <QColor>
#include <QPlainTextEdit>

// The message body of the feedback form: light text, and a placeholder drawn at its top left while it
// holds no text, also while the user is in it.
class CustomTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CustomTextView(QWidget* parent = nullptr);

    QString placeHolderString = QStringLiteral(" Write your message here...");
    QColor placeHolderColor = QColor::fromRgbF(1, 1, 1, 0.3f);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
