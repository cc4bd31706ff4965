#pragma once

class HBCollectionView;
class HBDataManager;
class HBScrollView;
class LocationArrayController;
class QObject;

#include <optional>

// The "CollectionView" layout the main view controller loads: a scroll view (holder) whose clip view
// holds the grid, tiles of about 100 x 100 points, three columns in a 332-point-wide holder, the
// content following the store's list through the array controller.
struct HBCollectionViewNib {
    HBScrollView* holder = nullptr;                      // without a parent: the caller places it (or deletes it)
    LocationArrayController* arrayController = nullptr;  // a child of the owner
    HBCollectionView* collectionView = nullptr;          // inside the holder
};

// None without a store.
std::optional<HBCollectionViewNib> loadCollectionViewNib(QObject* owner, HBDataManager* store);
