#pragma once

#include "platform/interface/ViewController.h"

#include <QList>
#include <QPointer>

class QStackedLayout;

namespace hb {

// A controller that shows one of its child view controllers at a time, in a stack without tabs. It owns
// the children it is given; the selection is an index into them (-1 while it holds none).
class TabViewController : public ViewController {
    Q_OBJECT
public:
    explicit TabViewController(QWidget* parent = nullptr);

    // Appends a child; the first child added becomes the selected one.
    void addChildViewController(ViewController* child);
    ViewController* viewControllerAtIndex(qsizetype index) const;  // none out of range

    qsizetype selectedTabViewItemIndex() const;
    // An index out of range changes nothing.
    void setSelectedTabViewItemIndex(qsizetype index);
    ViewController* selectedViewController() const { return viewControllerAtIndex(selectedTabViewItemIndex()); }

private:
    QStackedLayout* m_stack;
    QList<QPointer<ViewController>> m_children;
};

}  // namespace hb
