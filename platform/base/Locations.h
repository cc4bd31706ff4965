#pragma once

#include <QString>

namespace hb {

// Every folder the program touches hangs off these roots, so tests can redirect all of them
// (XDG variables, and the user-database home through setUserDatabaseHome).
namespace Locations {
QString userDatabaseHome();                     // redirected, else $HOME when absolute, else getpwuid(getuid())->pw_dir
void setUserDatabaseHome(const QString& path);  // empty restores the real one
QString configHome();                           // $XDG_CONFIG_HOME or ~/.config
QString dataHome();                             // $XDG_DATA_HOME or ~/.local/share
QString cacheHome();                            // $XDG_CACHE_HOME or ~/.cache
QString runtimeDirectory();                     // $XDG_RUNTIME_DIR, else a private (0700) folder in $TMPDIR or /tmp
QString applicationConfigDirectory();           // configHome()/<command of the program>
QString containerDirectory();                   // dataHome()/<command>/container
QString applicationScriptsDirectory();          // dataHome()/<command>/Application Scripts
}  // namespace Locations

}  // namespace hb
