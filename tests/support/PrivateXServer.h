#pragma once

#include <QByteArray>

#include <sys/types.h>

// An X server of the test's own (Xvfb on a display number it picks itself), made the DISPLAY for as
// long as the object lives; the DISPLAY before it comes back afterwards.
class PrivateXServer {
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    static bool isInstalled();  // Xvfb is on the PATH (scripts/install-deps.sh installs it)
    // False (with the reason in `why`) when Xvfb did not start.
    bool start(QByteArray* why);
    QByteArray display() const { return m_display; }

private:
    pid_t m_server = -1;
    QByteArray m_display;
    QByteArray m_savedDisplay;
    bool m_started = false;
};
