#pragma once

#include "platform/base/Error.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/desktop/ServicesFrame.h"

#include <QString>

#include <optional>

namespace hb {

// The object that answers service messages of the running instance.
class ServicesProvider {
public:
    virtual ~ServicesProvider() = default;
    // Runs the handler of `messageName` on the pasteboard; false when there is no such handler. The
    // handler tells in `answer` what it did, or why it did not do all that was asked.
    virtual bool performService(const QString& messageName, Pasteboard& pasteboard, const QString& userData,
                                ServiceAnswer& answer)
        = 0;
};

// Services: the running instance serves "<command> --service NAME PATH..." on a local socket that only
// the same user can reach.
namespace Services {
// runtimeDirectory()/<command>/services.sock
QString socketPath();
// Installs the provider and starts listening on socketPath() (GUI thread); null stops. An error when
// the socket cannot be set up or another instance already serves it. The provider must outlive its
// installation.
std::optional<Error> setServicesProvider(ServicesProvider* provider);
// Hands a pasteboard to the running instance and waits for its answer, also while the instance is too
// busy to take it at once; after `timeoutMs` it gives up with a text that says what to do.
ServiceAnswer send(const QString& messageName, const Pasteboard& pasteboard, int timeoutMs = 10000);
// Writes the desktop entry and the file-manager actions that run `executable --service NAME %F`
// (the running program's own file when empty), under the XDG data folder.
std::optional<Error> updateDynamicServices(const QString& executable = {});
}  // namespace Services

}  // namespace hb
