#pragma once

#include <cstdint>
#include <optional>

// Where the current files came from; stored as its raw value.
enum class DataSource : std::uint8_t {
    finder = 0,       // the file manager's selection, read through the user script
    pasteBoard = 1,   // files dragged onto the window, the drop bar or a tile
    service = 2,      // files handed over by a desktop service
    recentFiles = 3,  // files picked in the recent-files browser
};
