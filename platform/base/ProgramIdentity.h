#pragma once

#include <QList>
#include <QString>

namespace hb {

// Who the program is, for every name the platform makes for it: folders, sockets, bus and desktop
// names, messages. Each of the program's entry points sets it before anything else; it does not change
// afterwards.
struct ProgramIdentity {
    // A service the desktop entry and the file managers offer: "<command> --service <message> FILE...".
    struct Service {
        QString message;
        QString title;     // as the file managers list it
        bool foldersOnly;  // offered for folders alone
    };

    QString name;           // as people read it, in messages and menus: "Name"
    QString command;        // the program's file, and the name of its folders and sockets: "name"
    QString applicationId;  // of the desktop entry, its icon and the standard defaults: "org.maker.Name"
    QString makerId;        // the maker's reverse domain name: "org.maker"
    QList<Service> services;
};

void setProgramIdentity(ProgramIdentity identity);
const ProgramIdentity& programIdentity();

}  // namespace hb
