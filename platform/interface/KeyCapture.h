#pragma once

#include "platform/interface/EventMonitor.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

namespace hb {

// A key event with the position of the key, as the kernel's input event code.
struct CapturedKeyEvent {
    Event event;
    std::optional<int> inputCode;  // none when the window system gave no scan code

    static std::optional<CapturedKeyEvent> fromQt(const QKeyEvent& event);
};

// Takes every key event of the application while it is installed: the handler sees each one once and
// nothing else (shortcuts, focused widgets, local monitors) does. Installing it again puts it in front
// of filters installed since. GUI thread only.
class KeyCapture : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const CapturedKeyEvent&)>;

    explicit KeyCapture(Handler handler, QObject* parent = nullptr);
    ~KeyCapture() override;

    void install();
    void uninstall();
    bool isInstalled() const { return m_installed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler m_handler;
    bool m_installed = false;
};

}  // namespace hb
