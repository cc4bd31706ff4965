#include "platform/interface/StatusItem.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/interface/FrontWindow.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

namespace hb {

StatusItem::StatusItem(QObject* parent) : QObject(parent), m_menu(std::make_unique<QMenu>())
{
    m_menu->setAccessibleName(QStringLiteral("Tray menu"));
}

StatusItem::~StatusItem()
{
    // The tray icon refers to the menu: let it go first.
    delete m_tray;
    m_tray = nullptr;
}

void StatusItem::setTitle(const QString& title)
{
    m_title = title;
    m_menu->setTitle(title);
    if (m_tray)
        m_tray->setToolTip(title);
}

void StatusItem::setImage(const QIcon& image, bool isTemplate)
{
    m_image = image;
    m_image.setIsMask(isTemplate);
    if (m_tray)
        m_tray->setIcon(m_image);
}

void StatusItem::setAction(std::function<void()> action)
{
    m_action = std::move(action);
}

void StatusItem::performClick()
{
    if (m_action)
        m_action();
}

QAction* StatusItem::addMenuItem(const QString& title, std::function<void()> handler)
{
    QAction* action = m_menu->addAction(title);
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] {
        FrontWindows::shared().note();
        if (handler)
            handler();
    });
    return action;
}

bool StatusItem::show()
{
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(m_image, this);
        m_tray->setToolTip(m_title);
        m_tray->setContextMenu(m_menu.get());
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) {
                // Before the program's window comes forward: the window the person was working in.
                FrontWindows::shared().note();
                performClick();
            }
        });
    }
    // Shown even without a tray: a panel that starts later (as at login) still takes the item.
    m_tray->show();
    if (!isSystemTrayAvailable()) {
        qWarning().noquote() << QStringLiteral("No system tray in this session yet: the item appears when one starts; "
                                               "until then start %1 again to bring its window forward.")
                                    .arg(programIdentity().command);
        return false;
    }
    HBDebug() << "Tray item shown";
    return true;
}

bool StatusItem::isVisible() const
{
    return isSystemTrayAvailable() && m_tray && m_tray->isVisible();
}

bool StatusItem::isSystemTrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace hb
