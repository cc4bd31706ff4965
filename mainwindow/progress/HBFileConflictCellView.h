#pragma once

#include "core/engine/HBEngineTypes.h"
#include "platform/interface/TableView.h"

#include <memory>

class HBFileProgressUIDelegate;
class QCheckBox;
class QFrame;
class QPushButton;
namespace hb {
class WrappingLabel;
}
namespace Ui {
class HBProgressConflictCell;
}

// The conflict row ("Conflict"): what to do with an item whose name exists at the destination.
class HBFileConflictCellView : public hb::TableCellView {
    Q_OBJECT
public:
    explicit HBFileConflictCellView(QWidget* parent = nullptr);
    ~HBFileConflictCellView() override;

    HBFileProgressUIDelegate* delegate = nullptr;

    QCheckBox* applyToAll() const;
    QPushButton* skip() const;
    QPushButton* stop() const;
    QPushButton* replace() const;
    QPushButton* keepBoth() const;
    hb::WrappingLabel* status() const;
    QFrame* divider() const;

private:
    void choose(Instruction instruction, bool applyToAll);
    bool applyToAllIsOn() const;

    std::unique_ptr<Ui::HBProgressConflictCell> m_ui;
};
