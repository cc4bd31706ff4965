#pragma once

#include "core/store/HBLocationEntry.h"

#include <QObject>
#include <QPointer>

class HBDataManager;

// Arranges the destination store's entries for the grid: it follows every change of the store's
// list and announces the new arrangement.
class LocationArrayController : public QObject {
    Q_OBJECT
public:
    explicit LocationArrayController(QObject* parent = nullptr);

    // Follows `store` from now on (none: stops following and empties the arrangement).
    void bind(HBDataManager* store);
    const HBLocationList& arrangedObjects() const { return m_arranged; }
    QVariantList arrangedObjectsAsVariants() const;

signals:
    void arrangedObjectsChanged();

private:
    void refresh();

    QPointer<HBDataManager> m_store;
    HBLocationList m_arranged;
};
