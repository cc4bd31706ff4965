#include "PrivateXServer.h"

#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool PrivateXServer::isInstalled()
{
    return !QStandardPaths::findExecutable("Xvfb").isEmpty();
}

bool PrivateXServer::start(QByteArray* why)
{
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) {
        *why = "Xvfb is needed (scripts/install-deps.sh)";
        return false;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        *why = "no pipe";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string fd = std::to_string(fds[1]);
    const QByteArray program = QFile::encodeName(xvfb);
    const char* argv[] = {program.constData(), "-displayfd", fd.c_str(),   "-nolisten", "tcp",
                          "-screen",           "0",          "320x240x24", nullptr};
    const int spawned = ::posix_spawn(&m_server, program.constData(), &actions, nullptr, const_cast<char**>(argv),
                                      environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        m_server = -1;
        *why = "Xvfb could not be started";
        return false;
    }
    QByteArray number;
    pollfd entry{fds[0], POLLIN, 0};
    char c;
    while (::poll(&entry, 1, 15000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (number.isEmpty()) {
        *why = "Xvfb did not start";
        return false;
    }
    m_display = ":" + number;
    m_savedDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", m_display);
    m_started = true;
    return true;
}

PrivateXServer::~PrivateXServer()
{
    if (m_server > 0) {
        ::kill(m_server, SIGTERM);
        ::waitpid(m_server, nullptr, 0);
    }
    if (!m_started)
        return;
    if (m_savedDisplay.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", m_savedDisplay);
}
