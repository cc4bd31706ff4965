#pragma once

#include "platform/desktop/ServicesFrame.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <memory>

// What became of the items of one service request. The provider puts it into the user information of
// "LocationAdded" and "ReceivedData" (key "ServiceReply"); the receiver notes in it what it did with
// each item while the notification is delivered, and the provider answers the person who asked from
// it. Main thread only.
class HBServiceReply {
public:
    enum class Outcome {
        taken,               // added as a destination, or taken as the source
        takenWithoutAccess,  // added, but its tile still asks for access
        alreadyPresent,      // already one of the destinations
        notAFolder,
        missing,
        notAFileOnThisComputer,
        notWritable,
        notReadable,
        unusable,  // left out of the source: unreadable, outside every granted folder, or a drive
    };

    void note(const QString& item, Outcome outcome);
    // Whether a receiver acted on the request at all.
    void setHeard() { m_heard = true; }
    qsizetype count(Outcome outcome) const;

    // Done when every item ended as asked (taken, or already a destination); the text says what became
    // of each kind of item, naming a few of each.
    hb::ServiceAnswer answer(const QString& messageName) const;

private:
    struct Noted {
        QString item;
        Outcome outcome;
    };
    QString sentenceFor(Outcome outcome) const;

    QList<Noted> m_noted;
    bool m_heard = false;
};

using HBServiceReplyRef = std::shared_ptr<HBServiceReply>;
Q_DECLARE_METATYPE(HBServiceReplyRef)

inline const QString serviceReplyUserInfoKey = QStringLiteral("ServiceReply");
