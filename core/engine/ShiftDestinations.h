#pragma once

#include "platform/base/URL.h"

#include <QHash>
#include <QList>

// Where each source of a shift goes: into one folder under its own name, or to one URL per source,
// with the items that were given a free " Copy" name on the way. The usual shift into one folder
// stores nothing per item.
class ShiftDestinations {
public:
    ShiftDestinations() = default;
    static ShiftDestinations intoFolder(const hb::URL& folder);
    static ShiftDestinations each(const QList<hb::URL>& destinations);

    // The destination of the source at `index`.
    hb::URL at(qsizetype index, const hb::URL& source) const;
    // The folder that destination lies in.
    hb::URL folderAt(qsizetype index) const;
    void rename(qsizetype index, const hb::URL& destination);

private:
    hb::URL m_folder;  // every item into this folder, when there is no list; with a list, the
                       // one folder they all lie in, when they do
    QList<hb::URL> m_each;
    QHash<qsizetype, hb::URL> m_renamed;
};
