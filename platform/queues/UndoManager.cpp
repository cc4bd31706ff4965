#include "platform/queues/UndoManager.h"

#include <QTimer>

#include <algorithm>

namespace hb {

UndoManager::UndoManager() : m_context(std::make_unique<QObject>()) {}

UndoManager::~UndoManager() = default;

void UndoManager::setLevelsOfUndo(int levels)
{
    m_levels = std::max(0, levels);
    trimToLevels();
}

void UndoManager::registerUndo(const void* target, std::function<void()> action)
{
    if (m_undoing)
        return;
    m_openGroup.push_back({target, std::move(action)});
    if (!m_groupOpen) {
        m_groupOpen = true;
        QTimer::singleShot(0, m_context.get(), [this] { closeOpenGroup(); });
    }
}

bool UndoManager::canUndo() const
{
    return !m_steps.empty() || !m_openGroup.empty();
}

void UndoManager::undo()
{
    closeOpenGroup();
    if (m_steps.empty())
        return;
    Group step = std::move(m_steps.back());
    m_steps.pop_back();
    m_undoing = true;
    for (auto registration = step.rbegin(); registration != step.rend(); ++registration)
        registration->action();
    m_undoing = false;
}

void UndoManager::removeAllActions()
{
    m_steps.clear();
    m_openGroup.clear();
}

void UndoManager::removeAllActions(const void* target)
{
    const auto ofTarget = [target](const Registration& registration) { return registration.target == target; };
    std::erase_if(m_openGroup, ofTarget);
    for (Group& step : m_steps)
        std::erase_if(step, ofTarget);
    std::erase_if(m_steps, [](const Group& step) { return step.empty(); });
}

void UndoManager::closeOpenGroup()
{
    m_groupOpen = false;
    if (m_openGroup.empty())
        return;
    m_steps.push_back(std::move(m_openGroup));
    m_openGroup.clear();
    trimToLevels();
}

void UndoManager::trimToLevels()
{
    if (m_levels > 0 && static_cast<int>(m_steps.size()) > m_levels)
        m_steps.erase(m_steps.begin(), m_steps.end() - m_levels);
}

}  // namespace hb
