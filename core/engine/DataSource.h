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

// The raw value that stands for no source at all.
inline constexpr std::uint8_t noDataSourceRawValue = 4;

constexpr std::uint8_t rawValue(std::optional<DataSource> source)
{
    return source ? static_cast<std::uint8_t>(*source) : noDataSourceRawValue;
}

constexpr std::optional<DataSource> dataSourceFromRawValue(int raw)
{
    if (raw < 0 || raw >= noDataSourceRawValue)
        return std::nullopt;
    return static_cast<DataSource>(raw);
}
