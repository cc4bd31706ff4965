#include "mainwindow/status/HBStatusHints.h"

#include "core/hotkey/HBHotKeyState.h"
#include "core/store/HBConstants.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/LayerAnimation.h"

#include <QLabel>
#include <QWidget>

namespace HBStatusHints {

void hotKeyHintChanged(QWidget* hotKeyLabel, const QString& keyPath)
{
    if (!hotKeyLabel)
        return;
    using hb::LayerAnimation::animateOpacity;
    if (keyPath == hotKeyKeyPath) {
        if (hb::LayerAnimation::opacity(hotKeyLabel) != 1.0)
            animateOpacity(hotKeyLabel, 1.0, 2.0);
    } else if (keyPath == launchedHotkeyKeyPath) {
        if (hb::UserDefaults::standard().boolForKey(launchedHotkeyDefaultsKey))
            animateOpacity(hotKeyLabel, 0.3, 1.0);
        else
            animateOpacity(hotKeyLabel, 1.0, 1.0);
    }
}

void showHotKeyNotice(QLabel* notice, const HBHotKeyState& state)
{
    if (!notice)
        return;
    const QString text = HBHotKeyMessages::notice(state);
    notice->setText(text);
    notice->setVisible(!text.isEmpty());
}

void shake(QWidget* statusLine)
{
    if (!statusLine)
        return;
    const double x = statusLine->x();
    hb::LayerAnimation::addAnimation(statusLine, {QStringLiteral("position.x"), x + 10, x, 0.06, true, 2},
                                     QStringLiteral("position.x"));
}

}  // namespace HBStatusHints
