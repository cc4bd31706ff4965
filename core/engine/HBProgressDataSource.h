#pragma once

#include "core/engine/HBEngineTypes.h"

#include <cstdint>
#include <optional>

// What the progress list reads from, and answers to, the operations manager. It reads values only:
// nothing it is handed can change an operation or the key list.
class HBProgressDataSource {
public:
    virtual ~HBProgressDataSource() = default;
    // The rows in order, newest at row 0: how many, and the operation identifier at a row (-1 past
    // the end).
    virtual std::int64_t numberOfRows() const = 0;
    virtual std::int64_t identifierAtRow(std::int64_t row) const = 0;
    // A copy of the operation's progress record, none when no such operation runs.
    virtual std::optional<ProgressData> progress(std::int64_t identifier) const = 0;
    virtual void applyRule(std::int64_t identifier, Instruction instruction, bool applyToAll) = 0;
};
