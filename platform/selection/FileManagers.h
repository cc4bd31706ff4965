#pragma once

#include <string>
#include <string_view>

namespace hb::selection {

// Whether a process is one of the file managers whose selection the reader knows how to ask for:
// Nautilus (GNOME Files), Dolphin, Thunar, Nemo, Caja, PCManFM and PCManFM-Qt (with the desktops that
// their own processes draw). Decided by the program file the process runs, so a terminal or any other
// window is never sent a key meant for a file manager.
bool isFileManagerProgram(std::string_view programName);

// The file name of the program process `pid` runs; empty when it cannot be read.
std::string programNameOfProcess(long pid);

}  // namespace hb::selection
