#include "mainwindow/HBCurrentSource.h"

#include "mainwindow/grid/HBCollectionView.h"
#include "platform/interface/CursorStack.h"
#include "platform/interface/DraggingInfo.h"

void HBCurrentSource::setGrid(HBCollectionView* grid)
{
    m_grid = grid;
}

HBCurrentSource::~HBCurrentSource()
{
    dropSource();
}

void HBCurrentSource::startFinderSource()
{
    m_manager = HBSourceManager::create(DataSource::finder, {}, &m_ui);
    m_manager->requestFinderSelection();
}

std::shared_ptr<HBSourceManager> HBCurrentSource::replace(DataSource kind, const QList<hb::URL>& urls)
{
    m_manager = HBSourceManager::create(kind, urls, &m_ui);
    return m_manager;
}

void HBCurrentSource::dropSource()
{
    if (!m_manager)
        return;
    m_manager->emptySource();
    m_manager.reset();
}

void HBCurrentSource::cleanUpSourceAndResetState()
{
    dropSource();
    if (!m_grid)
        return;
    if (m_grid->modifierMonitor)
        m_grid->removeMonitor();
    m_grid->modifierMonitor.reset();
    m_grid->optionPressed = false;
    m_grid->oldCursorState.reset();
    hb::CursorStack::pop();
    m_grid->currentDragOperation = 0;
}

void HBCurrentSource::armGrid()
{
    if (!m_grid)
        return;
    m_grid->changeCursor(static_cast<std::int64_t>(hb::NSDragOperationMove));
    addModifierMonitorWhenFirstResponder();
}

void HBCurrentSource::showDragMode(const hb::DraggingInfo& draggingInfo)
{
    if (!m_grid)
        return;
    const std::int64_t operation = (draggingInfo.draggingSourceOperationMask() & hb::NSDragOperationMove)
                                       ? static_cast<std::int64_t>(hb::NSDragOperationMove)
                                       : static_cast<std::int64_t>(hb::NSDragOperationCopy);
    if (m_grid->modifierMonitor)
        m_grid->removeMonitor();
    m_grid->modifierMonitor.reset();
    m_grid->optionPressed = false;
    m_grid->changeCursor(operation);
}

void HBCurrentSource::armGridWithFocus()
{
    if (!m_grid)
        return;
    m_grid->changeCursor(static_cast<std::int64_t>(hb::NSDragOperationMove));
    m_grid->makeFirstResponder();
    addModifierMonitorWhenFirstResponder();
}

void HBCurrentSource::addModifierMonitorWhenFirstResponder()
{
    if (!m_grid->modifierMonitor && m_grid->isFirstResponder())
        m_grid->addMonitor();
}

bool HBCurrentSource::isDataAvailable() const
{
    return m_manager && !m_manager->getSourceURLs().isEmpty();
}

std::optional<QList<hb::URL>> HBCurrentSource::getURLS() const
{
    if (!isDataAvailable())
        return std::nullopt;
    return m_manager->getSourceURLs();
}

std::optional<QList<hb::URL>> HBCurrentSource::sourceURLs() const
{
    return getURLS();
}

std::optional<DataSource> HBCurrentSource::dataSource() const
{
    if (!m_manager)
        return std::nullopt;
    return m_manager->dataSource();
}
