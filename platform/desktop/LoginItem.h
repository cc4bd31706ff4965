#pragma once

#include "platform/base/Error.h"

#include <QString>

#include <optional>

namespace hb {

// Starting a helper program at login: an XDG autostart entry $XDG_CONFIG_HOME/autostart/<identifier>.desktop
// that runs the login helper (<command>-helper beside the running program, else on PATH) by its
// absolute path.
namespace LoginItem {
QString helperProgramName();

// Writes (enabled) or removes the entry; none on success, else why it failed.
std::optional<Error> setEnabled(const QString& identifier, bool enabled);
// The entry exists and does not hide itself (Hidden=true).
bool isEnabled(const QString& identifier);
QString entryPath(const QString& identifier);
// The helper's absolute path, empty when there is none to run.
QString helperProgram();
// The absolute path of a program installed beside the running one (as the program and its helper are),
// else found on the PATH; empty when there is neither.
QString companionProgram(const QString& name);
}  // namespace LoginItem

}  // namespace hb
