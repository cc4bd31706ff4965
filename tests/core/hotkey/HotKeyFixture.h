#pragma once

#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "platform/base/NotificationCenter.h"

#include "TestEnvironment.h"

// Counts "HotKeyFired" and leaves no hot key registered behind.
class HotKeyFixture : public HarbrillTest {
protected:
    HotKeyFixture()
    {
        hb::NotificationCenter::defaultCenter().addObserver(this, hotKeyFiredNotification, nullptr,
                                                            [this](const hb::Notification&) { ++fired; });
    }
    ~HotKeyFixture() override
    {
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::NotificationCenter::defaultCenter().removeObserver(this);
    }
    HBHotKeyManage& manager = HBHotKeyManage::sharedInstance();
    DDHotKeyCenter& center = DDHotKeyCenter::sharedHotKeyCenter();
    int fired = 0;
};
