#include "platform/vendor/Mailto.h"

#include "platform/base/Bundle.h"
#include "platform/interface/SharingService.h"

namespace hb::Mailto {

QUrl compose(const QString& recipient, const QString& subject, const QString& body)
{
    SharingService message = *SharingService::sharingServiceNamed(NSSharingServiceNameComposeEmail);
    message.recipients = {recipient};
    message.subject = subject;
    message.body = body;
    return message.mailtoURL();
}

QString supportAddress()
{
    return Bundle::objectForInfoDictionaryKey(QStringLiteral("HBSupportEmail")).toString();
}

}  // namespace hb::Mailto
