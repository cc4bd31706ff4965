#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace hb {

// Storyboard name -> scene identifier -> factory of a new controller. Scenes register themselves
// (HB_REGISTER_SCENE in the controller's .cpp, which then must be linked in by a reference to the
// class) or explicitly; an unknown name or identifier answers none.
namespace StoryboardRegistry {
using Factory = std::function<std::unique_ptr<QObject>()>;
void registerScene(const QString& storyboard, const QString& identifier, Factory factory);
void unregisterScene(const QString& storyboard, const QString& identifier);
bool hasStoryboard(const QString& storyboard);
}  // namespace StoryboardRegistry

class Storyboard {
public:
    // None when no scene of that name is registered.
    static std::optional<Storyboard> storyboardWithName(const QString& name);

    const QString& name() const { return m_name; }

    // A new controller of the scene, or none for an unknown identifier.
    std::unique_ptr<QObject> instantiateControllerWithIdentifier(const QString& identifier) const;

    // The same, none also when the scene's controller is not a T.
    template <class T>
    std::unique_ptr<T> instantiateController(const QString& identifier) const
    {
        std::unique_ptr<QObject> object = instantiateControllerWithIdentifier(identifier);
        if (auto* typed = qobject_cast<T*>(object.get())) {
            object.release();
            return std::unique_ptr<T>(typed);
        }
        return nullptr;
    }

private:
    explicit Storyboard(QString name) : m_name(std::move(name)) {}
    QString m_name;
};

namespace detail {
struct SceneRegistration {
    SceneRegistration(const QString& storyboard, const QString& identifier, StoryboardRegistry::Factory factory)
    {
        StoryboardRegistry::registerScene(storyboard, identifier, std::move(factory));
    }
};
}  // namespace detail

}  // namespace hb

#define HB_SCENE_CONCAT2(a, b) a##b
#define HB_SCENE_CONCAT(a, b) HB_SCENE_CONCAT2(a, b)
// Registers `Class` (default-constructible) as the scene `identifier` of `storyboard`.
#define HB_REGISTER_SCENE(storyboard, identifier, Class)                                 \
    static const ::hb::detail::SceneRegistration HB_SCENE_CONCAT(hbScene_, __LINE__)     \
    {                                                                                    \
        QStringLiteral(storyboard), QStringLiteral(identifier),                          \
            [] { return std::unique_ptr<QObject>(std::make_unique<Class>().release()); } \
    }
