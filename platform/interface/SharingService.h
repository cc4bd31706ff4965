#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace hb {

// Known only inside the program: nothing stores it or passes it on.
inline const QString NSSharingServiceNameComposeEmail = QStringLiteral("hb.share.compose-email");

// Composing a new e-mail in the user's mail program: a mailto: URL handed to the desktop.
class SharingService {
public:
    // None for a service the desktop does not offer (only composing an e-mail is offered).
    static std::optional<SharingService> sharingServiceNamed(const QString& name);

    QStringList recipients;
    QString subject;
    QString body;  // line breaks reach the mail program as CRLF

    // The mailto: URL of the message, every part percent-encoded.
    QUrl mailtoURL() const;
    // Opens a new message; false when the desktop could not open it.
    bool perform() const;

private:
    SharingService() = default;
};

}  // namespace hb
