#include "mainwindow/grid/LocationArrayController.h"

#include "core/store/HBDataManager.h"

LocationArrayController::LocationArrayController(QObject* parent) : QObject(parent) {}

void LocationArrayController::bind(HBDataManager* store)
{
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (m_store)
        connect(m_store, &HBDataManager::dropLocationsChanged, this, &LocationArrayController::refresh);
    refresh();
}

QVariantList LocationArrayController::arrangedObjectsAsVariants() const
{
    QVariantList objects;
    for (const HBLocationEntry& entry : m_arranged)
        objects << QVariant::fromValue(entry);
    return objects;
}

void LocationArrayController::refresh()
{
    m_arranged = m_store ? m_store->dropLocations() : HBLocationList();
    emit arrangedObjectsChanged();
}
