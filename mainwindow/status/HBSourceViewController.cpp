#include "mainwindow/status/HBSourceViewController.h"

#include "platform/interface/ValueTransformer.h"
#include "platform/interface/Workspace.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// One file of the list: its icon above its name. The icon is drawn rather than put in a view of its
// own: the item, named after its file, is what a screen reader reads.
class HBSourceItem : public hb::CollectionViewItem {
public:
    HBSourceItem() : m_name(new QLabel(this))
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->setSpacing(2);
        m_name->setAlignment(Qt::AlignCenter);
        m_name->setStyleSheet(QStringLiteral("color: rgb(225, 229, 236); font-size: 10px;"));
        layout->addStretch(1);
        layout->addWidget(m_name);
    }

    void setRepresentedObject(const QVariant& object) override
    {
        hb::CollectionViewItem::setRepresentedObject(object);
        const QVariantMap row = object.toMap();
        const QString name = row.value(QStringLiteral("Name")).toString();
        m_name->setText(m_name->fontMetrics().elidedText(name, Qt::ElideMiddle, 72));
        setAccessibleName(name);
        const QString path = row.value(QStringLiteral("ImagePath")).toString();
        const auto transformer = hb::ValueTransformer::valueTransformerForName(
            QStringLiteral("FilePathToIconTransformer"));
        const QVariant icon = transformer ? transformer->transformedValue(path) : QVariant();
        const QIcon shown = icon.canConvert<QIcon>() ? icon.value<QIcon>() : hb::Workspace::iconForFile(path);
        m_icon = shown.pixmap(40, 40);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = rect().adjusted(4, 4, -4, -(m_name->height() + 6));
        QRect target(QPoint(), m_icon.deviceIndependentSize().toSize());
        target.moveCenter(area.center());
        painter.drawPixmap(target, m_icon);
    }

private:
    QLabel* m_name;
    QPixmap m_icon;
};

}  // namespace

HBSourceViewController::HBSourceViewController(QWidget* parent) : hb::ViewController(parent) {}

void HBSourceViewController::setData(const QList<Row>& data)
{
    m_data = data;
    if (!collectionView)
        return;
    QVariantList content;
    for (const Row& row : m_data) {
        QVariantMap map;
        for (auto it = row.begin(); it != row.end(); ++it)
            map.insert(it.key(), it.value());
        content << map;
    }
    collectionView->setContent(content);
}

void HBSourceViewController::loadData(const QList<hb::URL>& urls)
{
    QList<Row> rows = m_data;
    for (const hb::URL& url : urls)
        rows.prepend({{QStringLiteral("Name"), url.lastPathComponent()}, {QStringLiteral("ImagePath"), url.path()}});
    setData(rows);
}

void HBSourceViewController::loadView()
{
    setStyleSheet(QStringLiteral("background-color: rgb(30, 33, 40);"));
    collectionViewHolder = new QScrollArea;
    collectionViewHolder->setFrameShape(QFrame::NoFrame);
    collectionViewHolder->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    collectionViewHolder->setWidgetResizable(true);
    collectionView = new hb::CollectionView;
    collectionView->setAccessibleName(QStringLiteral("Selected Files"));
    collectionView->setItemSize(QSize(kItemSide, kItemSide));
    collectionView->setSpacing(0);
    collectionView->setSelectable(false);
    collectionView->setItemPrototype([] { return std::make_unique<HBSourceItem>(); });
    collectionViewHolder->setWidget(collectionView);
}

void HBSourceViewController::viewDidLoad()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(collectionViewHolder);
    setData(m_data);
    setSize();
}

void HBSourceViewController::setSize()
{
    const qsizetype count = collectionView ? collectionView->content().size() : m_data.size();
    const int columns = count > 4 ? 3 : 2;
    const int rows = int((count + columns - 1) / columns);
    changeSize(columns * kItemSide + kScrollerWidth, std::min(kMaximumHeight, rows * kItemSide));
}

void HBSourceViewController::changeSize(double width, double newHeight)
{
    m_width = int(width);
    m_height = int(newHeight);
    if (collectionViewHolder)
        collectionViewHolder->setFixedSize(m_width, m_height);
}
