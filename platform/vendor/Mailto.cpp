#include "platform/vendor/Mailto.h"

#include "platform/base/Bundle.h"

namespace hb::Mailto {

QUrl compose(const QString& recipient, const QString& subject, const QString& body)
{
    QString lines = body;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
    const QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(recipient, "@") +
                               "?subject=" + QUrl::toPercentEncoding(subject) +
                               "&body=" + QUrl::toPercentEncoding(lines);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QString supportAddress()
{
    return Bundle::objectForInfoDictionaryKey(QStringLiteral("HBSupportEmail")).toString();
}

}  // namespace hb::Mailto
