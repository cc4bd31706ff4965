#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace hb {

// Undo steps of the GUI thread. Registrations made during one pass of the event loop form one step
// (the group closes when control returns to the loop); undo runs the newest step's actions, newest
// first. At most levelsOfUndo steps are kept (0: no limit). There is no redo: what is registered
// while an undo runs is dropped.
class UndoManager {
public:
    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    int levelsOfUndo() const { return m_levels; }
    void setLevelsOfUndo(int levels);

    // `target` identifies the registration for removeAllActions(withTarget).
    void registerUndo(const void* target, std::function<void()> action);
    bool canUndo() const;
    bool isUndoing() const { return m_undoing; }
    void undo();

    void removeAllActions();
    void removeAllActions(const void* target);

private:
    struct Registration {
        const void* target;
        std::function<void()> action;
    };
    using Group = std::vector<Registration>;

    void closeOpenGroup();
    void trimToLevels();

    std::unique_ptr<QObject> m_context;  // ends the pending group close with the manager
    std::vector<Group> m_steps;
    Group m_openGroup;
    bool m_groupOpen = false;
    bool m_undoing = false;
    int m_levels = 0;
};

}  // namespace hb
