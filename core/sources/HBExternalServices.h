#pragma once

#include "core/sources/HBServiceReply.h"
#include "platform/desktop/Services.h"

// The provider of the two services: it reads file URLs from the service pasteboard and posts them on
// the default centre ("LocationAdded" for folders to add as destinations, "ReceivedData" for files to
// take as the source), each as a list of hb::URL values under the key named like the notification,
// beside the reply (under "ServiceReply") in which the receiver notes what became of each item. The
// answer to the person who asked is made from that reply.
class HBExternalServices : public hb::ServicesProvider {
public:
    bool performService(const QString& messageName, hb::Pasteboard& pasteboard, const QString& userData,
                        hb::ServiceAnswer& answer) override;

    // Posts the pasteboard's folders and empties the pasteboard; `reply` also learns of the items that
    // are not folders.
    void addToLocation(hb::Pasteboard& pboard, const QString& userData, QString* error,
                       const HBServiceReplyRef& reply = nullptr);
    // Posts the pasteboard's files and folders; the pasteboard keeps them.
    void moveHarbrill(hb::Pasteboard& pboard, const QString& userData, QString* error,
                      const HBServiceReplyRef& reply = nullptr);
};
