#pragma once

#include "platform/base/URL.h"

#include <QList>
#include <QSet>
#include <QVariant>

// The volumes the held files lie on, read once for a source, so that the grid can tell before a click
// whether a move into a folder will be carried out as a copy (a move to another volume is).
class HBHeldVolumes {
public:
    HBHeldVolumes() = default;
    // One item of each folder is read: the items of one folder share its volume (a volume's own root is
    // never held).
    explicit HBHeldVolumes(const QList<hb::URL>& items);

    bool isEmpty() const { return m_volumes.isEmpty(); }
    // Some held item lies on another volume than `folder`. False when the folder's volume cannot be
    // read: nothing is claimed that is not known.
    bool anyOnAnotherVolumeThan(const hb::URL& folder) const;

    // The volume of an item, read under the access its bookmark gives; invalid when it cannot be read.
    static QVariant volumeOf(const hb::URL& item);

private:
    QSet<quint64> m_volumes;
};
