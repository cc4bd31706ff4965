#pragma once

#include "platform/base/Error.h"
#include "platform/desktop/Services.h"

#include <QObject>

#include <optional>

class QLocalSocket;
class QSocketNotifier;

namespace hb {

// Serves service requests on a local socket in a folder private to the user. Connections from other
// users are refused by their credentials; malformed, unknown or oversized messages get an error answer
// and the listener goes on serving. It holds a bounded number of connections: beyond that, and while the
// process is out of descriptors, new ones wait in the socket's queue until a place is free; a connection
// that has not sent its whole request in a short time is closed, so idle clients cannot keep others out.
// It removes its socket file only when it is destroyed. Lives on the GUI thread, where the provider's
// handlers run.
class ServicesListener : public QObject {
    Q_OBJECT
public:
    explicit ServicesListener(ServicesProvider* provider, QObject* parent = nullptr);
    ~ServicesListener() override;

    // Creates the socket's folder (mode 0700, owned by the user) and listens; an error when the folder
    // is not private or another live listener holds the socket.
    std::optional<Error> listen(const QString& socketPath);

    // A connection whose whole request has not arrived in this time is closed: a client writes its
    // request at once, in one go.
    static constexpr int kRequestTimeoutMs = 3000;
    // Connections held at once (each a short exchange); more wait in the socket's queue.
    static constexpr int kMaximumConnections = 128;
    // After the process ran out of descriptors, accepting is tried again this much later.
    static constexpr int kAcceptRetryMs = 100;

private:
    void accept();
    // Accepting goes on while there is room and descriptors are not short.
    void updateAccepting();
    void serve(QLocalSocket* socket);
    void close();
    void readRequest(QLocalSocket* socket);
    void finish(QLocalSocket* socket, const ServiceAnswer& answer);
    ServiceAnswer perform(ServiceRequest& request);

    ServicesProvider* m_provider;
    int m_fd = -1;
    QString m_path;
    QSocketNotifier* m_notifier = nullptr;
    int m_connections = 0;
    bool m_outOfDescriptors = false;
};

}  // namespace hb
