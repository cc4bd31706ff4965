#pragma once

#include <QString>

namespace hb::ServicesSocket {
// A stream connection to the local socket at `path` (close-on-exec, non-blocking): its descriptor, or
// -1 with errno set (EAGAIN when the listener's queue is full, ENAMETOOLONG when the path does not fit
// a socket address).
int connectTo(const QString& path);
// A listening socket at `path` that only this user can reach (close-on-exec, non-blocking): its
// descriptor, or -1 with errno set.
int listenAt(const QString& path);
}  // namespace hb::ServicesSocket
