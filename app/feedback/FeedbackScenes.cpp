#include "app/feedback/FeedbackScenes.h"

#include "app/feedback/FeedbackViewController.h"
#include "platform/interface/StoryboardRegistry.h"

void registerFeedbackScenes()
{
    hb::StoryboardRegistry::registerScene(QStringLiteral("FeedbackWindow"), QStringLiteral("FeedbackWindow"),
                                          [] { return std::make_unique<FeedbackViewController>(); });
}
