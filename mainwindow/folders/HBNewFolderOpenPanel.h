#pragma once

#include "platform/base/URL.h"

#include <QList>
#include <QString>

#include <optional>

class HBCollectionViewItem;

// What the tile's folder panel reports to the tile that ran it.
class HBNewFolderOpenPanelDelegate {
public:
    virtual ~HBNewFolderOpenPanelDelegate() = default;
    virtual void openPanelDidEnd(const QList<hb::URL>& urls, const std::optional<QString>& actionString, bool addToGrid)
        = 0;
};

// The folder panel of a tile: with an action word ("Move"/"Copy") it picks or creates the one folder to
// shift into, and may add it to the grid as well; without one it adds several folders to the grid.
class HBNewFolderOpenPanel {
public:
    explicit HBNewFolderOpenPanel(HBNewFolderOpenPanelDelegate& delegate);

    HBNewFolderOpenPanelDelegate& delegate;
    bool nibLoadState = true;  // the panel may offer "Add to Grid"

    // Runs the panel modally; reports to the delegate unless cancelled.
    void presentPanelWithURL(const std::optional<hb::URL>& url, const std::optional<QString>& actionString);
};
