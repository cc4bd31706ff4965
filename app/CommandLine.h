#pragma once

#include <QString>

// What `harbrill --help` and `harbrill --version` print; both need no desktop.
namespace CommandLine {
// The forms the program is run in, as the manual page's synopsis gives them.
QString usage();
// "harbrill" and the version, as the package names it.
QString version();
}  // namespace CommandLine
