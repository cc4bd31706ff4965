#pragma once

#include "TestEnvironment.h"

#include "core/store/HBConstants.h"
#include "core/store/HBDataManager.h"
#include "mainwindow/controls/HBScrollView.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
#include "mainwindow/grid/HBCollectionViewNib.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/CursorStack.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/Workspace.h"

#include <QMouseEvent>

// A window holding the grid as the main view controller places it, a store with a pseudo entry, a
// usable folder, a folder without access and a drive, and a record of every notification the tiles post.
class GridTest : public HarbrillTest {
protected:
    void SetUp() override;
    void TearDown() override;

    HBCollectionViewItem& tile(std::int64_t index) const;
    void setSourceAvailable(bool available) const;
    QStringList postedNames() const;

    // Mouse events delivered to a tile as the window system would.
    static void press(QWidget& target, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                      Qt::MouseButton button = Qt::LeftButton);
    static void drag(QWidget& target, int step);
    static void release(QWidget& target);
    static void doubleClick(QWidget& target);

    QString reports;
    QString music;
    std::unique_ptr<HBDataManager> store;
    std::unique_ptr<QWidget> window;
    HBCollectionView* grid = nullptr;
    QList<hb::Notification> posted;
    QList<QUrl> opened;
    int panelsShown = 0;
    QStringList panelTitles;
    std::optional<QList<hb::URL>> panelAnswer;
};
