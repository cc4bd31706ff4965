#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace hb {

// The program's item in the panel's tray (StatusNotifierItem where a watcher runs, the X11 tray
// otherwise). A left click runs the item's action; a right click opens a small menu, since some panels
// never deliver a left click. Where no tray exists yet the item says so in the log and waits for one.
class StatusItem : public QObject {
    Q_OBJECT
public:
    explicit StatusItem(QObject* parent = nullptr);
    ~StatusItem() override;

    void setTitle(const QString& title);  // the tool tip, and the name panels show for the item
    QString title() const { return m_title; }

    // A template image is a symbolic, one-colour icon that panels may recolour.
    void setImage(const QIcon& image, bool isTemplate);
    QIcon image() const { return m_image; }

    // Runs on a left click. None: a click does nothing.
    void setAction(std::function<void()> action);
    // Runs the action as a click on the item would.
    void performClick();

    // Appends an entry to the right-click menu; the entry's accessible name is its title.
    QAction* addMenuItem(const QString& title, std::function<void()> handler);
    QMenu* menu() const { return m_menu.get(); }

    // Puts the item in the tray; false (and one log line) when the session has no tray now. The item
    // still appears once a tray comes up.
    bool show();
    bool isVisible() const;  // in a tray
    static bool isSystemTrayAvailable();

private:
    QString m_title;
    QIcon m_image;
    std::function<void()> m_action;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray = nullptr;  // made on show(), child of this
};

}  // namespace hb
