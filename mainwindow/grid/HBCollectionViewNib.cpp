#include "mainwindow/grid/HBCollectionViewNib.h"

#include "mainwindow/controls/HBCollectionViewClipView.h"
#include "mainwindow/controls/HBScrollView.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
#include "mainwindow/grid/LocationArrayController.h"

namespace {
constexpr int holderWidth = 332;
constexpr int tileSide = 100;
constexpr int tileSpacing = 4;
}  // namespace

std::optional<HBCollectionViewNib> loadCollectionViewNib(QObject* owner, HBDataManager* store)
{
    if (!store)
        return std::nullopt;
    HBCollectionViewNib nib;
    nib.holder = new HBScrollView;
    nib.holder->setObjectName(QStringLiteral("collectionViewHolder"));
    nib.holder->setViewport(new HBCollectionViewClipView);
    nib.holder->viewport()->setAutoFillBackground(false);
    nib.holder->resize(holderWidth, 3 * (tileSide + tileSpacing) + tileSpacing);

    nib.collectionView = new HBCollectionView;
    nib.collectionView->setObjectName(QStringLiteral("collectionView"));
    nib.collectionView->setItemSize(QSize(tileSide, tileSide));
    nib.collectionView->setSpacing(tileSpacing);
    nib.collectionView->setItemPrototype([] { return std::make_unique<HBCollectionViewItem>(); });
    nib.holder->setWidget(nib.collectionView);
    nib.collectionView->setAutoFillBackground(false);

    nib.arrayController = new LocationArrayController(owner);
    QObject::connect(nib.arrayController, &LocationArrayController::arrangedObjectsChanged, nib.collectionView,
                     [arrayController = nib.arrayController, grid = nib.collectionView] {
                         grid->setContent(arrayController->arrangedObjectsAsVariants());
                     });
    nib.arrayController->bind(store);
    return nib;
}
