#include "platform/base/NotificationCenter.h"

#include <vector>

namespace hb {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const void* owner, const QString& name, const void* object,
                                                          Callback callback)
{
    std::lock_guard lock(m_mutex);
    const Token token = m_next++;
    m_entries.emplace(token, Entry{owner, name, object, std::make_shared<Callback>(std::move(callback))});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    m_entries.erase(token);
}

void NotificationCenter::removeObserver(const void* owner)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [owner](const auto& item) { return item.second.owner == owner; });
}

void NotificationCenter::removeObserver(const void* owner, const QString& name, const void* object)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const auto& item) {
        const Entry& entry = item.second;
        return entry.owner == owner && (name.isEmpty() || entry.name == name)
               && (object == nullptr || entry.object == object);
    });
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    // Callbacks run outside the lock, so an observer may add or remove observers, itself included.
    std::vector<std::pair<Token, std::shared_ptr<Callback>>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [token, entry] : m_entries) {
            if ((entry.name.isEmpty() || entry.name == name) && (entry.object == nullptr || entry.object == object))
                matching.emplace_back(token, entry.callback);
        }
    }
    const Notification notification{name, object, userInfo};
    for (const auto& [token, callback] : matching) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_entries.contains(token))
                continue;
        }
        if (*callback)
            (*callback)(notification);
    }
}

}  // namespace hb
