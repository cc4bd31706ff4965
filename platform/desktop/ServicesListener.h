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
// and the listener goes on serving. It holds a bounded number of connections (more are closed at
// once), keeps listening when the process runs out of descriptors, and removes its socket file only
// when it is destroyed. Lives on the GUI thread, where the provider's handlers run.
class ServicesListener : public QObject {
    Q_OBJECT
public:
    explicit ServicesListener(ServicesProvider* provider, QObject* parent = nullptr);
    ~ServicesListener() override;

    // Creates the socket's folder (mode 0700, owned by the user) and listens; an error when the folder
    // is not private or another live listener holds the socket.
    std::optional<Error> listen(const QString& socketPath);

    // A connection that sends nothing in this time is dropped.
    static constexpr int kIdleTimeoutMs = 10000;
    // Connections held at once; a request is one short exchange, so a few are plenty.
    static constexpr int kMaximumConnections = 16;
    // After the process ran out of descriptors, accepting is tried again this much later.
    static constexpr int kAcceptRetryMs = 100;

private:
    void accept();
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
};

}  // namespace hb
