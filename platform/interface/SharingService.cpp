#include "platform/interface/SharingService.h"

#include "platform/interface/Workspace.h"

namespace hb {

std::optional<SharingService> SharingService::sharingServiceNamed(const QString& name)
{
    if (name != NSSharingServiceNameComposeEmail)
        return std::nullopt;
    return SharingService();
}

QUrl SharingService::mailtoURL() const
{
    // '@' may stand as it is in an address; everything a mail program could read as a delimiter
    // (',', '?', '&', '+', '%', spaces) is encoded.
    QByteArrayList addresses;
    for (const QString& recipient : recipients) {
        if (!recipient.isEmpty())
            addresses << QUrl::toPercentEncoding(recipient, QByteArrayLiteral("@"));
    }
    QByteArray text = QByteArrayLiteral("mailto:") + addresses.join(',');
    if (!subject.isEmpty())
        text += QByteArrayLiteral("?subject=") + QUrl::toPercentEncoding(subject);
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}

bool SharingService::perform() const { return Workspace::openURL(mailtoURL()); }

}  // namespace hb
