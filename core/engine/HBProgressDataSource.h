#pragma once

#include "core/engine/HBEngineTypes.h"

#include <cstdint>
#include <optional>

class HBOperationKeys;

// What the progress list reads from, and answers to, the operations manager.
class HBProgressDataSource {
public:
    virtual ~HBProgressDataSource() = default;
    // The ordered identifiers of the operations that have a row (count; identifier at a row, -1 past the end).
    virtual HBOperationKeys& keysDataSource() = 0;
    // The operation's progress record, none when no such operation runs.
    virtual std::optional<ProgressData> progress(std::int64_t identifier) = 0;
    virtual void applyRule(std::int64_t identifier, Instruction instruction, bool applyToAll) = 0;
};
