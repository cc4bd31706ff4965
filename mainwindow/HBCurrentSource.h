#pragma once

#include "core/engine/DataSource.h"
#include "core/sources/HBSourceManager.h"
#include "mainwindow/status/HBSourceProtocol.h"
#include "platform/base/URL.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <optional>

class HBCollectionView;
class HBUIDelegate;
namespace hb {
class DraggingInfo;
}

// The files a shift will take: one source manager, replaced and never reused for every new source, and
// the grid's cursor kept in step with it. Main thread only.
class HBCurrentSource : public HBSourceProtocol {
public:
    // The sources it makes report what needs a person through `ui`.
    explicit HBCurrentSource(HBUIDelegate& ui) : m_ui(ui) {}
    ~HBCurrentSource() override;
    HBCurrentSource(const HBCurrentSource&) = delete;
    HBCurrentSource& operator=(const HBCurrentSource&) = delete;

    // The grid whose cursor shows what a click on a tile does with the source.
    void setGrid(HBCollectionView* grid);

    const std::shared_ptr<HBSourceManager>& manager() const { return m_manager; }
    // The source was read from the file manager's selection.
    bool isFinderData() const { return m_isFinderData; }
    void setFinderData(bool fromFinder) { m_isFinderData = fromFinder; }

    // Asks the file manager for its selection in a new source; the one before is let go without being
    // emptied, so its answer may still come.
    void startFinderSource();
    // A new source of these files, from where they came; the one before is let go without being emptied.
    std::shared_ptr<HBSourceManager> replace(DataSource kind, const QList<hb::URL>& urls);
    // Empties the source (it then ignores late answers) and lets it go.
    void dropSource();
    // Drops the source and resets the grid's cursor state.
    void cleanUpSourceAndResetState();

    // The grid shows the move cursor and, while it has the focus, follows the copy modifier.
    void armGrid();
    // The grid takes the mode the drag allows (move when it may, else copy), without the modifier monitor.
    void showDragMode(const hb::DraggingInfo& draggingInfo);
    // The grid takes the focus, shows the move cursor and follows the copy modifier.
    void armGridWithFocus();

    bool isDataAvailable() const;
    std::optional<QList<hb::URL>> getURLS() const;
    std::optional<QList<hb::URL>> sourceURLs() const override;
    std::optional<DataSource> dataSource() const override;

private:
    void addModifierMonitorWhenFirstResponder();

    HBUIDelegate& m_ui;
    std::shared_ptr<HBSourceManager> m_manager;
    bool m_isFinderData = false;
    QPointer<HBCollectionView> m_grid;
};
