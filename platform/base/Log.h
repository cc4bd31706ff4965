#pragma once

#include <QLoggingCategory>
#include <QString>

// Debug traces go to the system log (journal via stderr), never to the interface.
Q_DECLARE_LOGGING_CATEGORY(hbLog)
#define HBDebug() qCDebug(hbLog).noquote()

namespace hb::Log {
// Keeps the last lines the program logs (a few kilobytes) beside passing them on as before, so a
// report of a failure can tell what happened just before it. Safe to call more than once.
void keepRecentLines();
// The kept lines, oldest first.
QString recentLines();
// Writes the kept lines to `fd` with write(2) alone: callable from a signal handler.
void writeRecentLines(int fd);
}  // namespace hb::Log
