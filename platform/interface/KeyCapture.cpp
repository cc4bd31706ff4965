#include "platform/interface/KeyCapture.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace hb {

namespace {
// X11 key codes are the kernel's input codes moved up by 8.
constexpr quint32 kX11KeyCodeOffset = 8;
}  // namespace

std::optional<CapturedKeyEvent> CapturedKeyEvent::fromQt(const QKeyEvent& keyEvent)
{
    std::optional<Event> converted = Event::fromQt(keyEvent);
    if (!converted)
        return std::nullopt;
    CapturedKeyEvent captured{*converted, std::nullopt};
    const quint32 scanCode = keyEvent.nativeScanCode();
    if (scanCode > kX11KeyCodeOffset)
        captured.inputCode = int(scanCode - kX11KeyCodeOffset);
    return captured;
}

KeyCapture::KeyCapture(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler)) {}

KeyCapture::~KeyCapture()
{
    uninstall();
}

void KeyCapture::install()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    app->removeEventFilter(this);
    app->installEventFilter(this);
    m_installed = true;
}

void KeyCapture::uninstall()
{
    if (!m_installed)
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    m_installed = false;
}

bool KeyCapture::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride)
        return true;  // no shortcut fires while keys are captured
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    // Taken here, the event goes no further: the window never hands it to a widget, so each key is
    // seen once.
    if (m_handler) {
        if (const std::optional<CapturedKeyEvent> captured = CapturedKeyEvent::fromQt(*static_cast<QKeyEvent*>(event)))
            m_handler(*captured);
    }
    return true;
}

}  // namespace hb
