#include "platform/interface/XdgActivation.h"

#include "platform/base/Log.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"

#include <cstring>

namespace hb::XdgActivation {

namespace {

// How long a window may take to come on screen before its token is let go.
constexpr int exposeWaitMs = 5000;

// The compositor's xdg_activation_v1 global, bound once on a queue of its own (it sends no events).
xdg_activation_v1* activationGlobal(wl_display* display)
{
    static wl_display* boundOn = nullptr;
    static xdg_activation_v1* activation = nullptr;
    if (boundOn == display)
        return activation;
    boundOn = display;
    activation = nullptr;
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
    wl_registry* registry = wl_display_get_registry(wrapped);
    wl_proxy_wrapper_destroy(wrapped);
    static const wl_registry_listener listener{
        [](void* data, wl_registry* announcing, std::uint32_t name, const char* interface, std::uint32_t) {
            if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
                *static_cast<xdg_activation_v1**>(data) = static_cast<xdg_activation_v1*>(
                    wl_registry_bind(announcing, name, &xdg_activation_v1_interface, 1));
        },
        [](void*, wl_registry*, std::uint32_t) {},
    };
    wl_registry_add_listener(registry, &listener, &activation);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    if (!activation)
        qCInfo(hbLog) << "The compositor offers no xdg-activation: windows come forward as it decides.";
    return activation;
}

bool activateNow(QWindow* window, const QString& token)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display = native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display")) : nullptr;
    auto* surface = native ? static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window)) : nullptr;
    if (!display || !surface)
        return false;
    xdg_activation_v1* activation = activationGlobal(display);
    if (!activation)
        return false;
    xdg_activation_v1_activate(activation, token.toUtf8().constData(), surface);
    wl_display_flush(display);
    HBDebug() << "Window activated with the desktop's token";
    return true;
}

// Holds a token until its window is on screen: the compositor activates only a surface it shows.
class ActivationOnExpose : public QObject {
public:
    ActivationOnExpose(QWindow* window, const QString& token) : QObject(window), m_window(window), m_token(token)
    {
        window->installEventFilter(this);
        QTimer::singleShot(exposeWaitMs, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed()) {
            m_window->removeEventFilter(this);
            // After Qt has handled the expose, so the surface carries its first buffer.
            QTimer::singleShot(0, m_window, [window = m_window, token = m_token] {
                if (window)
                    activateNow(window, token);
            });
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWindow> m_window;
    QString m_token;
};

}  // namespace

bool activate(QWindow* window, const QString& token)
{
    if (!window || token.isEmpty() || QGuiApplication::platformName() != QLatin1String("wayland"))
        return false;
    if (window->isExposed())
        return activateNow(window, token);
    new ActivationOnExpose(window, token);
    return true;
}

}  // namespace hb::XdgActivation
