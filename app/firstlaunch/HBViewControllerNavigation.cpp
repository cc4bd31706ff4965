#include "app/firstlaunch/HBViewControllerNavigation.h"

#include "core/store/HBConstants.h"
#include "platform/base/MainQueue.h"
#include "platform/base/NotificationCenter.h"

void postNextController()
{
    hb::MainQueue::async([] { hb::NotificationCenter::defaultCenter().post(nextControllerNotification); });
}

void postBackController()
{
    hb::MainQueue::async([] { hb::NotificationCenter::defaultCenter().post(backControllerNotification); });
}
