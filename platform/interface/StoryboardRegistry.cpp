#include "platform/interface/StoryboardRegistry.h"

#include <QHash>

namespace hb {

namespace {

using Scenes = QHash<QString, StoryboardRegistry::Factory>;

QHash<QString, Scenes>& storyboards()
{
    static QHash<QString, Scenes> registry;
    return registry;
}

}  // namespace

void StoryboardRegistry::registerScene(const QString& storyboard, const QString& identifier, Factory factory)
{
    storyboards()[storyboard].insert(identifier, std::move(factory));
}

void StoryboardRegistry::unregisterScene(const QString& storyboard, const QString& identifier)
{
    auto found = storyboards().find(storyboard);
    if (found == storyboards().end())
        return;
    found->remove(identifier);
    if (found->isEmpty())
        storyboards().erase(found);
}

bool StoryboardRegistry::hasStoryboard(const QString& storyboard)
{
    return storyboards().contains(storyboard);
}

std::optional<Storyboard> Storyboard::storyboardWithName(const QString& name)
{
    if (!StoryboardRegistry::hasStoryboard(name))
        return std::nullopt;
    return Storyboard(name);
}

std::unique_ptr<QObject> Storyboard::instantiateControllerWithIdentifier(const QString& identifier) const
{
    const auto board = storyboards().constFind(m_name);
    if (board == storyboards().constEnd())
        return nullptr;
    const auto scene = board->constFind(identifier);
    if (scene == board->constEnd() || !*scene)
        return nullptr;
    return (*scene)();
}

}  // namespace hb
