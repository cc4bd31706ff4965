#pragma once

#include "platform/base/URL.h"

#include <QString>

#include <optional>
#include <utility>

// The prompt that lets the user give the program access to one destination folder: an open panel that
// starts in that folder and lets the user confirm exactly that folder, nothing else.
class HBPermissionPanel {
public:
    HBPermissionPanel(const QString& destinationName, const hb::URL& url);

    QString instructionString;  // "Add <name> to Harbrill"
    QString displayName;
    hb::URL URLToShow;

    // Runs the panel modally: whether the user confirmed, and the URL chosen.
    std::pair<bool, std::optional<hb::URL>> run() const;
    bool shouldEnableURL(const hb::URL& url) const;  // only the destination folder itself
};
