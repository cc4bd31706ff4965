#pragma once

#include <QString>

class HBHotKeyLabel;
class QBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// The common row of a status pane: leading widgets, two lines of text, then buttons on the right.
class HBStatusPaneLayout {
public:
    explicit HBStatusPaneLayout(QWidget* pane);

    void addLeading(QWidget* widget);
    // The main line; a screen reader reads its text as its name and `purpose` as its description.
    QLabel* addLine(const QString& text, const QString& purpose);
    QLabel* addSubLine(const QString& text);
    // A warning line under the others, hidden while it is empty.
    QLabel* addNotice();
    QPushButton* addButton(const QString& text, const QString& accessibleName);
    HBHotKeyLabel* addHotKeyLabel();

private:
    QWidget* m_pane;
    QBoxLayout* m_row;
    QBoxLayout* m_lines;
};
