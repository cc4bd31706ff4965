#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <variant>

// `harbrill --service NAME PATH...`: hands files or folders to the running instance's service NAME.
// Everything is checked before anything is sent, so a bad request never reaches the running instance.
struct ServiceCommand {
    QString messageName;  // "addToLocation" or "moveHarbrill"
    QStringList paths;    // absolute, existing, in the order given

    // The arguments after "--service", as the bytes the command line holds; the command, or what is
    // wrong with them.
    static std::variant<ServiceCommand, QString> parse(const QByteArrayList& arguments);

    struct Outcome {
        int exitCode = 0;
        QString message;  // for standard output when it succeeded, else for standard error
    };
    // The running instance's answer: what it did with the items, or why not all was done.
    Outcome send() const;
};
