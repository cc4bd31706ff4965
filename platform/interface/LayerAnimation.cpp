#include "platform/interface/LayerAnimation.h"

#include <QGraphicsOpacityEffect>
#include <QVariantAnimation>
#include <QWidget>

#include <cmath>
#include <limits>

namespace hb::LayerAnimation {

namespace {

const char* const modelOpacityProperty = "hbLayerOpacity";
const QString implicitOpacityKey = QStringLiteral("hb.implicit.opacity");

QString objectNameForKey(const QString& key)
{
    return QStringLiteral("hb.layer.animation.") + key;
}

QGraphicsOpacityEffect* opacityEffect(QWidget* widget)
{
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect()))
        return effect;
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(opacity(widget));
    widget->setGraphicsEffect(effect);
    return effect;
}

void present(QWidget* widget, const QString& keyPath, double value)
{
    if (keyPath == QLatin1String("opacity"))
        opacityEffect(widget)->setOpacity(value);
    else
        widget->move(int(std::lround(value)), widget->y());
}

const char* const keyPathProperty = "hbKeyPath";
const char* const modelValueProperty = "hbModelValue";

// An animation ended or was removed: the model value shows again (an opacity set meanwhile counts).
void showModelValue(QWidget* widget, const QVariantAnimation* animation)
{
    const QString keyPath = animation->property(keyPathProperty).toString();
    present(widget, keyPath,
            keyPath == QLatin1String("opacity") ? opacity(widget) : animation->property(modelValueProperty).toDouble());
}

int loopCountFor(float repeatCount)
{
    if (std::isinf(repeatCount) || repeatCount >= float(std::numeric_limits<int>::max()))
        return -1;
    return std::max(1, int(std::ceil(repeatCount)));
}

QVariantAnimation* start(QWidget* widget, const QString& keyPath, const QString& key, double from, double to,
                         double seconds, bool autoreverses, int loops, double modelValue)
{
    removeAnimation(widget, key);
    auto* animation = new QVariantAnimation(widget);
    animation->setObjectName(objectNameForKey(key));
    const int milliseconds = std::max(1, int(std::lround(seconds * 1000.0)));
    animation->setStartValue(from);
    if (autoreverses) {
        animation->setKeyValueAt(0.5, to);
        animation->setEndValue(from);
        animation->setDuration(2 * milliseconds);
    } else {
        animation->setEndValue(to);
        animation->setDuration(milliseconds);
    }
    animation->setLoopCount(loops);
    QObject::connect(animation, &QVariantAnimation::valueChanged, widget,
                     [widget, keyPath](const QVariant& value) { present(widget, keyPath, value.toDouble()); });
    animation->setProperty(keyPathProperty, keyPath);
    animation->setProperty(modelValueProperty, modelValue);
    QObject::connect(animation, &QAbstractAnimation::finished, widget, [widget, animation] {
        showModelValue(widget, animation);
        animation->deleteLater();
    });
    present(widget, keyPath, from);
    animation->start();
    return animation;
}

}  // namespace

double opacity(const QWidget* widget)
{
    const QVariant model = widget->property(modelOpacityProperty);
    return model.isValid() ? model.toDouble() : 1.0;
}

void setOpacity(QWidget* widget, double value)
{
    widget->setProperty(modelOpacityProperty, value);
    opacityEffect(widget)->setOpacity(value);
}

double presentedOpacity(const QWidget* widget)
{
    if (const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(widget->graphicsEffect()))
        return effect->opacity();
    return opacity(widget);
}

void animateOpacity(QWidget* widget, double target, double seconds)
{
    const double from = presentedOpacity(widget);
    widget->setProperty(modelOpacityProperty, target);
    start(widget, QStringLiteral("opacity"), implicitOpacityKey, from, target, seconds, false, 1, target);
}

void addAnimation(QWidget* widget, const BasicAnimation& animation, const QString& key)
{
    if (animation.keyPath != QLatin1String("opacity") && animation.keyPath != QLatin1String("position.x"))
        return;
    start(widget, animation.keyPath, key, animation.fromValue, animation.toValue, animation.duration,
          animation.autoreverses, loopCountFor(animation.repeatCount), double(widget->x()));
}

void removeAnimation(QWidget* widget, const QString& key)
{
    if (QVariantAnimation* running = animationForKey(widget, key)) {
        running->stop();
        showModelValue(widget, running);
        delete running;
    }
}

QVariantAnimation* animationForKey(const QWidget* widget, const QString& key)
{
    return widget->findChild<QVariantAnimation*>(objectNameForKey(key), Qt::FindDirectChildrenOnly);
}

}  // namespace hb::LayerAnimation
