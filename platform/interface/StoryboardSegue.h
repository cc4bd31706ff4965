#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

namespace hb {

// A named hand-over from one controller to another that the source prepares before the destination
// is shown (an embedded container, a popover's content).
struct StoryboardSegue {
    QString identifier;
    QPointer<QObject> sourceController;
    QPointer<QObject> destinationController;
};

}  // namespace hb
