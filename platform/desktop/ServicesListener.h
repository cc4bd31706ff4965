#pragma once

#include "platform/base/Error.h"
#include "platform/desktop/Services.h"

#include <QObject>

#include <optional>

class QLocalServer;
class QLocalSocket;

namespace hb {

// Serves service requests on a local socket in a folder private to the user. Connections from other
// users are refused by their credentials; malformed, unknown or oversized messages get an error answer
// and the listener goes on serving. Lives on the GUI thread, where the provider's handlers run.
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

private:
    void accept();
    void readRequest(QLocalSocket* socket);
    void finish(QLocalSocket* socket, const ServiceAnswer& answer);
    ServiceAnswer perform(ServiceRequest& request);

    ServicesProvider* m_provider;
    QLocalServer* m_server;
};

}  // namespace hb
