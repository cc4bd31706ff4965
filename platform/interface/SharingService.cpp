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
    QByteArrayList fields;
    if (!subject.isEmpty())
        fields << QByteArrayLiteral("subject=") + QUrl::toPercentEncoding(subject);
    if (!body.isEmpty()) {
        QString lines = body;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
        fields << QByteArrayLiteral("body=") + QUrl::toPercentEncoding(lines);
    }
    QByteArray text = QByteArrayLiteral("mailto:") + addresses.join(',');
    if (!fields.isEmpty())
        text += '?' + fields.join('&');
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}

bool SharingService::perform() const
{
    return Workspace::openURL(mailtoURL());
}

}  // namespace hb
