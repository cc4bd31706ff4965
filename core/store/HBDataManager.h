#pragma once

#include "core/store/HBLocationEntry.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"

#include <QObject>

#include <optional>

class HBUIDelegate;

// The user's destination folders, in tile order, behind the pseudo entry at index 0. Loaded from the
// locations suite at creation, kept in memory as `dropLocations` (every change goes through
// setDropLocations, which announces it), and written back as a whole. Stored entries that no tile
// shows keep their places in the stored list: those this version cannot read, and destinations whose
// volume is absent, which come back as tiles with their volume. Main thread only.
class HBDataManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(HBLocationList dropLocations READ dropLocations WRITE setDropLocations NOTIFY dropLocationsChanged)

public:
    explicit HBDataManager(QObject* parent = nullptr);
    ~HBDataManager() override;

    const HBLocationList& dropLocations() const { return m_dropLocations; }
    void setDropLocations(const HBLocationList& locations);

    // "DefaultFolderlist" of the information dictionary; kept, never merged into the list.
    const std::optional<HBLocationList>& defaultData() const { return m_defaultData; }

    // Revalidates every entry against its bookmark: follows moves, drops the dead, sets aside those whose
    // volume is absent and brings back those whose volume has returned.
    void updateData();
    void fillDefaultData();  // an empty list gets the pseudo entry
    void syncData();         // writes the list to the suite

    // What addLocation did with a folder.
    enum class AddOutcome { added, addedWithoutAccess, notWritable, notReadable, none };
    // Checks access and adds the folder as the newest entry (no duplicate test).
    AddOutcome addLocation(const std::optional<hb::URL>& url, const std::optional<QString>& imageName = std::nullopt);
    void addLocations(const HBLocationList& entries);
    void addToLocationWithURLAndImage(const hb::URL& url, const std::optional<QString>& imageName,
                                      bool suppressMessage);
    // Whether an entry names the same file-system object (not merely the same path text).
    bool doesLocationExist(const hb::URL& url);
    void removeFromLocation(qsizetype index);
    // Moves one entry to `toIndex`; the pseudo entry neither moves nor is displaced. Not written.
    void moveItem(qsizetype fromIndex, qsizetype toIndex);
    qsizetype numberOfLocations() const { return m_dropLocations.size(); }
    // "permissionGranted": the entry of the folder under "URL" becomes usable.
    void permissionChanged(const hb::Notification& notification);
    void dangerousCleanAll();  // removes the stored list; the one in memory stays
    void setFirstItem(bool addFolder);

    // Its alerts go through the UI delegate; without one they are not shown.
    void setUIDelegate(HBUIDelegate* uiDelegate) { m_uiDelegate = uiDelegate; }
    void showNoWriteAccessAlert(const hb::URL& url) const;
    void showNoReadAccessAlert(const hb::URL& url) const;
    void showAlreadyPresentAlert(const hb::URL& url) const;

    // The readable entries of the stored list; the others are kept aside, in their places.
    HBLocationList loadStoredLocations();
    // What is written to the suite: the list with the entries kept aside in their places.
    QVariantList storedList() const;
    static void markEntryNeedsPermission(HBLocationEntry& entry);
    static void refreshLocation(HBLocationEntry& entry);

signals:
    void dropLocationsChanged();

private:
    struct KeptEntry {
        QString after;  // the "Path" of the tile it follows in the stored list ("" the pseudo entry)
        QVariant stored;
        bool onAbsentVolume;  // else an entry this version cannot read
    };
    // Takes the tile at `index` out of the list, kept in its place in the stored list when `keepIt`
    // (its volume is absent); the entries kept after it then follow the tile before it.
    void dropTile(HBLocationList& list, qsizetype index, bool keepIt);
    // Where the entries kept after `tile` end in `m_kept`, and those entries taken out.
    qsizetype endOfFollowers(const QString& tile) const;
    QList<KeptEntry> takeFollowers(const QString& tile);
    // Entries on absent volumes whose volume is back (their bookmark resolves) become tiles again.
    void bringBackReturned(HBLocationList& list);
    void showAlert(const QString& messageText, const QString& informativeText) const;

    std::optional<HBLocationList> m_defaultData;
    HBLocationList m_dropLocations;
    QList<KeptEntry> m_kept;  // in stored order among those that follow one tile
    HBUIDelegate* m_uiDelegate = nullptr;
};
