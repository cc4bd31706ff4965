#pragma once

#include <QString>
#include <QUrl>

namespace hb {

// A new message for the user's mail program, as a mailto: URL (RFC 6068): the subject and body are
// percent-encoded whole, so "&", "=", "#", "+" and line breaks in them arrive as written.
namespace Mailto {
QUrl compose(const QString& recipient, const QString& subject, const QString& body);
// The support address of the information resource ("HBSupportEmail").
QString supportAddress();
}  // namespace Mailto

}  // namespace hb
