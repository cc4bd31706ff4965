#pragma once

#include "platform/base/URL.h"
#include "platform/interface/CollectionView.h"
#include "platform/interface/ViewController.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>

class QScrollArea;

// The list of the held files: a small grid of icons with names, newest given first, sized to show at
// most three rows (two columns up to four files, three beyond).
class HBSourceViewController : public hb::ViewController {
    Q_OBJECT
public:
    using Row = QMap<QString, QString>;  // "Name", "ImagePath"
    static constexpr int kItemSide = 80;
    static constexpr int kScrollerWidth = 15;
    static constexpr int kMaximumHeight = 240;

    explicit HBSourceViewController(QWidget* parent = nullptr);

    QPointer<hb::CollectionView> collectionView;
    // Holds the grid's scroll view; its size is the two constants below.
    QPointer<QScrollArea> collectionViewHolder;

    const QList<Row>& data() const { return m_data; }
    void setData(const QList<Row>& data);

    // Puts a row for each URL in front of the rows there are, so the list reads in reverse order.
    void loadData(const QList<hb::URL>& urls);
    void setSize();
    void changeSize(double width, double newHeight);
    int scrollViewWidth() const { return m_width; }
    int scrollViewHeight() const { return m_height; }

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    QList<Row> m_data;
    int m_width = 0;
    int m_height = 0;
};
