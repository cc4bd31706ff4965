#pragma once

#include "platform/desktop/Services.h"

// The provider of the two services: it reads file URLs from the service pasteboard and posts them on
// the default centre ("LocationAdded" for folders to add as destinations, "ReceivedData" for files to
// take as the source), each as a list of hb::URL values under the key named like the notification.
class HBExternalServices : public hb::ServicesProvider {
public:
    bool performService(const QString& messageName, hb::Pasteboard& pasteboard, const QString& userData,
                        QString* error) override;

    // Posts the pasteboard's folders and empties the pasteboard.
    void addToLocation(hb::Pasteboard& pboard, const QString& userData, QString* error);
    // Posts the pasteboard's files and folders; the pasteboard keeps them.
    void moveHarbrill(hb::Pasteboard& pboard, const QString& userData, QString* error);
};
