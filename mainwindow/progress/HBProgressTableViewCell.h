#pragma once

#include "platform/interface/TableView.h"

#include <QFont>

#include <memory>

class HBFileProgressUIDelegate;
class QFrame;
class QProgressBar;
class QToolButton;
namespace hb {
class WrappingLabel;
}
namespace Ui {
class HBProgressNormalCell;
}

// The progress row ("Normal"): status text, a bar from 0 to 100 and a close button.
class HBProgressTableViewCell : public hb::TableCellView {
    Q_OBJECT
public:
    explicit HBProgressTableViewCell(QWidget* parent = nullptr);
    ~HBProgressTableViewCell() override;

    HBFileProgressUIDelegate* delegate = nullptr;

    // The font of the status text of both kinds of row; row heights are measured in it.
    static QFont statusFont();

    hb::WrappingLabel* status() const;
    QToolButton* close() const;
    QProgressBar* progressBar() const;
    QFrame* divider() const;

private:
    void closePressed();

    std::unique_ptr<Ui::HBProgressNormalCell> m_ui;
};
