#pragma once

#include <QString>
#include <QVariant>

class QVariantAnimation;
class QWidget;

namespace hb {

// A widget's layer: the opacity it is drawn with and the basic animations running on it. As with a
// layer, a property has a model value (what the program set) and a presented one (what an animation
// shows now); when an animation ends or is removed the model value is shown again. GUI thread only.
namespace LayerAnimation {

// Model opacity, 1 until set.
double opacity(const QWidget* widget);
void setOpacity(QWidget* widget, double opacity);
// The opacity drawn at this moment.
double presentedOpacity(const QWidget* widget);
// An implicit animation in an animation group of `seconds`: the model value becomes `target` at once,
// the drawn opacity follows over the duration (replacing a previous implicit opacity change).
void animateOpacity(QWidget* widget, double target, double seconds);

// Animates "opacity" or "position.x" (the widget's x in its parent) from `fromValue` to `toValue` over
// `duration` seconds; `autoreverses` runs back within each repetition; `repeatCount` repetitions
// (infinity or the largest float: without end).
struct BasicAnimation {
    QString keyPath;
    double fromValue = 0;
    double toValue = 0;
    double duration = 0;
    bool autoreverses = false;
    float repeatCount = 1;
};

// Runs `animation` on the widget under `key`, replacing one already running under that key; an
// unknown key path does nothing.
void addAnimation(QWidget* widget, const BasicAnimation& animation, const QString& key);
void removeAnimation(QWidget* widget, const QString& key);
// The running animation under `key`, or none.
QVariantAnimation* animationForKey(const QWidget* widget, const QString& key);

}  // namespace LayerAnimation

}  // namespace hb
