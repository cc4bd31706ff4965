#pragma once

#include <QRect>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace hb {

// Options of a tracking area.
inline constexpr std::uint64_t NSTrackingMouseEnteredAndExited = 0x01;
inline constexpr std::uint64_t NSTrackingActiveInKeyWindow = 0x20;
inline constexpr std::uint64_t NSTrackingAssumeInside = 0x100;
inline constexpr std::uint64_t NSTrackingInVisibleRect = 0x200;

// A region of a view for which the view is told when the pointer enters and leaves it.
struct TrackingArea {
    QRect rect;
    std::uint64_t options = 0;
};

// The tracking areas installed on one view, compared by identity.
class TrackingAreas {
public:
    void add(const std::shared_ptr<TrackingArea>& area)
    {
        if (area)
            m_areas.push_back(area);
    }
    bool contains(const std::shared_ptr<TrackingArea>& area) const
    {
        return std::find(m_areas.begin(), m_areas.end(), area) != m_areas.end();
    }
    std::size_t count() const { return m_areas.size(); }
    // Whether an installed area asks for entered and exited events.
    bool tracksEnteredAndExited() const
    {
        return std::any_of(m_areas.begin(), m_areas.end(),
                           [](const auto& area) { return area->options & NSTrackingMouseEnteredAndExited; });
    }

private:
    std::vector<std::shared_ptr<TrackingArea>> m_areas;
};

}  // namespace hb
