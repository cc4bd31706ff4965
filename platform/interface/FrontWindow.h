#pragma once

#include <QMap>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace hb {

// The window the person was working in when they called the program up (the hot key, the tray item, a
// second start), noted before the program's own window comes forward: a script asked for "the
// selection" answers for that window and no other.
struct FrontWindow {
    // The session's active X11 window and its process; 0 where unknown.
    quint64 x11Window = 0;
    qint64 processId = 0;
    // Where the program cannot see other programs' windows (a Wayland session), the script is to look
    // for the active window itself, which still is the person's while the note is claimed.
    bool lookUpActiveWindow = false;

    // What a script is handed: <COMMAND>_FRONT_WINDOW (the X11 window id in decimal, or "active") and
    // <COMMAND>_FRONT_PID. Empty when no window is known.
    QMap<QString, QString> environment() const;
};

// The one note of the window the person came from. Whoever asks that window for something claims the
// note; while a claim lives the program's own window waits before it takes the focus (at most
// holdLimit), so the window asked still has it.
class FrontWindows : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds noteLifetime{1500};
    static constexpr std::chrono::milliseconds holdLimit{600};

    static FrontWindows& shared();

    // Notes the active window now, unless it is one of the program's own.
    void note();
    void note(const FrontWindow& window);  // as found by note(); tests give their own
    void forget();

    // The note, once, while it is fresh; none otherwise. Any thread may drop the claim.
    std::shared_ptr<const FrontWindow> claim();
    bool hasNote() const;
    bool isHeld() const { return m_claims > 0; }

signals:
    void released();  // the last claim was dropped; on the main thread

private:
    FrontWindows() = default;
    void dropClaim();

    std::optional<FrontWindow> m_note;
    std::chrono::steady_clock::time_point m_notedAt;
    int m_claims = 0;
};

}  // namespace hb
