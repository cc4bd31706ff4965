#pragma once

#include "core/engine/DataSource.h"
#include "platform/base/URL.h"
#include "platform/interface/Popover.h"
#include "platform/interface/StoryboardSegue.h"
#include "platform/interface/ViewController.h"

#include <QList>
#include <QPointer>

#include <optional>

class HBFilePreview;
class QImage;
class HBNoDragImageView;
class QLabel;
class QPushButton;

// The status pane shown while files are held: how many (or the one file's name), a preview of the first
// four, a pulsing count, the list of the files on demand and a button that lets them go.
class HBStatusChooseFolderController : public hb::ViewController {
    Q_OBJECT
public:
    static constexpr const char* sourceListSegueIdentifier = "sourcelistSegue";

    explicit HBStatusChooseFolderController(QWidget* parent = nullptr);

    QPointer<QLabel> statusLine;
    QPointer<HBNoDragImageView> previewImageView;
    QPointer<QLabel> fileCountLabel;
    QPointer<QLabel> subText;
    QPointer<QPushButton> sourceList;
    QPointer<QPushButton> cancelSelectionButton;
    // What the last updateStatus was given.
    std::optional<QList<hb::URL>> sourceURLS;

    void updateStatus(const std::optional<QList<hb::URL>>& urls, std::optional<DataSource> dataSource);
    void updateStatusInitalState();
    // The second line says what a click on the tile pointed at would do; an empty hint brings back the
    // line's own text. Nothing changes while no files are held.
    void showClickHint(const QString& hint);
    // Lets the held files go. Pressed on some files and released after others were handed over, the
    // button lets nothing go: it was meant for the files shown when it was pressed.
    void cancelSelection();
    void prepareForSegue(const hb::StoryboardSegue& segue);
    // Shows the list of the held files in a popover.
    void showSourceList();

    HBFilePreview& preview() const { return *m_preview; }
    QPointer<hb::Popover> sourceListPopover() const { return m_sourceListPopover; }

    // The count line for a source.
    static QString fileCountText(const QList<hb::URL>& urls, std::optional<DataSource> dataSource);

protected:
    void loadView() override;

private:
    void showPreview(const QImage& image);

    HBFilePreview* m_preview;
    QPointer<hb::Popover> m_sourceListPopover;
    std::optional<QList<hb::URL>> m_pressedOn;  // the files shown when the cancel button went down
};
