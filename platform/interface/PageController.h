#pragma once

#include "platform/interface/ViewController.h"

#include <QHash>
#include <QString>
#include <QVariantList>

#include <memory>

class QStackedLayout;

namespace hb {

class PageController;

// Supplies the pages of a PageController and follows its transitions.
class PageControllerDelegate {
public:
    virtual ~PageControllerDelegate() = default;
    virtual QString identifierForObject(PageController* pageController, const QVariant& object) = 0;
    // A new page for the identifier; none for an unknown one.
    virtual std::unique_ptr<ViewController> viewControllerForIdentifier(PageController* pageController,
                                                                        const QString& identifier)
        = 0;
    virtual void pageControllerWillStartLiveTransition(PageController*) {}
    virtual void pageControllerDidTransitionToObject(PageController*, const QVariant&) {}
    // The delegate calls completeTransition() here to put the reached page on screen.
    virtual void pageControllerDidEndLiveTransition(PageController*) {}
};

// Shows one page at a time out of its arranged objects; pages turn only through navigateForward and
// navigateBack (no swiping). Pages are made once per identifier and kept.
class PageController : public ViewController {
    Q_OBJECT
public:
    explicit PageController(QWidget* parent = nullptr);
    ~PageController() override;

    void setDelegate(PageControllerDelegate* delegate);  // not owned
    PageControllerDelegate* delegate() const { return m_delegate; }

    void setArrangedObjects(const QVariantList& objects);
    const QVariantList& arrangedObjects() const { return m_arrangedObjects; }

    // Selecting directly shows the page at once, with no transition calls.
    void setSelectedIndex(qsizetype index);
    qsizetype selectedIndex() const { return m_selectedIndex; }
    // The page of the selected object, made on first use; null when there is none.
    ViewController* selectedViewController();

    // One page on or back, with the transition calls: will start, the index changes, did transition,
    // did end. Nothing happens at either end.
    void navigateForward();
    void navigateBack();
    // Puts the selected page on screen.
    void completeTransition();

    // The area pages appear in; subclasses place it in their own layout.
    QWidget* pageArea() const { return m_pageArea; }

private:
    void navigate(qsizetype step);
    ViewController* pageAt(qsizetype index);

    PageControllerDelegate* m_delegate = nullptr;
    QVariantList m_arrangedObjects;
    qsizetype m_selectedIndex = -1;
    QHash<QString, ViewController*> m_pages;  // children of the page area
    QWidget* m_pageArea;
    QStackedLayout* m_stack;
};

}  // namespace hb
