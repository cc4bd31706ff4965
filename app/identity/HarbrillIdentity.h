#pragma once

#include "platform/base/ProgramIdentity.h"

// The names the program, its login helper and its selection reader are known by on the desktop. Stored
// files, sockets and bus names are made from them: they must not change from one version to the next.
inline hb::ProgramIdentity harbrillIdentity()
{
    return {QStringLiteral("Harbrill"),
            QStringLiteral("harbrill"),
            QStringLiteral("com.mirelda.Harbrill"),
            QStringLiteral("com.mirelda"),
            {{QStringLiteral("addToLocation"), QStringLiteral("Add Folder to Harbrill"), true},
             {QStringLiteral("moveHarbrill"), QStringLiteral("Send to Harbrill"), false}}};
}
