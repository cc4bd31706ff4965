#pragma once

#include "platform/base/Error.h"

#include <QString>

#include <optional>
#include <string>

namespace hb {

// An item in a freedesktop trash: where it lies in the trash's files folder, its info file, and the
// path it had, which the info file records.
struct TrashedItem {
    QString item;
    QString info;
    QString originalPath;
    bool operator==(const TrashedItem&) const = default;
};

// The freedesktop.org trash (version 1.0 of its layout), which file managers show and restore from: the
// home trash ($XDG_DATA_HOME/Trash) for items on its mount, else the trash at the top of the item's
// mount ($topdir/.Trash/$uid where the administrator made $topdir/.Trash, else $topdir/.Trash-$uid).
// Items move in and out by a rename, never across mounts, so nothing is copied and nothing is lost
// halfway.
namespace Trash {

// A place reserved in the trash that keeps items of one open folder: its info file is written and
// holds the name; the item moves in with moveIn(), or the place is given back when this is dropped.
class Reservation {
public:
    Reservation(Reservation&& other) noexcept;
    Reservation& operator=(Reservation&&) = delete;
    ~Reservation();

    // Moves the entry `name` of the open folder (the one the place was reserved for) into the trash.
    bool moveIn(int folder, const std::string& name, Error* error);
    const TrashedItem& trashed() const { return m_trashed; }

private:
    friend std::optional<Reservation> reserve(int folder, const QString& originalPath, Error* error);
    Reservation() = default;

    int m_files = -1;
    int m_info = -1;
    std::string m_name;
    TrashedItem m_trashed;
    bool m_filled = false;
};

// A place for the item now at `originalPath` in the open folder `folder` that holds it. None, with
// the reason, when no trash may keep items of that mount (none can be made there, or one in the way
// is not a trash of ours).
std::optional<Reservation> reserve(int folder, const QString& originalPath, Error* error = nullptr);

// Whether a trash can keep items of the folder at `folderPath` (reached beneath the grants).
bool canKeepItemsIn(const QString& folderPath);

// Puts the item back at its original path (beneath the grants), never over what is there now, and
// removes its info file.
bool restore(const TrashedItem& trashed, Error* error = nullptr);

}  // namespace Trash

}  // namespace hb
