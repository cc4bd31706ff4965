#pragma once

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace hb {

struct Notification {
    QString name;
    const void* object = nullptr;  // the poster when it passes itself, else null
    QVariantMap userInfo;
};

// The default notification centre: plain string names, an optional object filter, synchronous
// delivery on the posting thread, removal by token or by owner (and name).
class NotificationCenter {
public:
    using Token = std::uint64_t;
    using Callback = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // `owner` groups observations for removeObserver(owner); `name` empty: every name; `object` filters by
    // poster (null: any). Observers are called in the order they were added.
    Token addObserver(const void* owner, const QString& name, const void* object, Callback callback);
    void removeObserver(Token token);
    void removeObserver(const void* owner);
    void removeObserver(const void* owner, const QString& name, const void* object = nullptr);

    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

private:
    struct Entry {
        const void* owner;
        QString name;
        const void* object;
        std::shared_ptr<Callback> callback;
    };
    std::recursive_mutex m_mutex;
    std::map<Token, Entry> m_entries;
    Token m_next = 1;
};

}  // namespace hb
