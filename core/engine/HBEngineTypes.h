#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <cstdint>
#include <optional>

// The small values passed between a shift operation, its copy, the operations manager and the
// progress window. Plain values: copied, never shared.

enum class Action : std::uint8_t { move = 0, copy = 1, rename = 2, pdf = 3 };

enum class Instruction : std::uint8_t { keepBoth = 0, replace = 1, merge = 2, skip = 3, stop = 4 };

struct Rule {
    Instruction instruction = Instruction::keepBoth;
    bool applyToAll = false;
    bool operator==(const Rule&) const = default;
};

enum class HBError : std::uint8_t {
    fileExists = 0,
    noSpace = 1,
    noPermissionsSource = 2,
    noPermissionDestination = 3,
    cantSwallowSelf = 4,
    none = 5,
    sourceFileMissing = 6,
    fileError = 7,
};

enum class OperationState : std::uint8_t {
    idle = 0,
    running = 1,
    waitingForInstruction = 2,
    getInstruction = 3,
    cancel = 4,
    complete = 5,
};

// The error of domain "File", code -777: an item result that carries no platform error.
inline hb::Error placeholderFrameworkError()
{
    return hb::Error{QStringLiteral("File"), -777, {}};
}

struct ErrorData {
    std::optional<hb::URL> file;
    HBError errorCode = HBError::none;
    bool isDirectory = false;
    hb::Error frameworkError = placeholderFrameworkError();

    static ErrorData reset() { return ErrorData{}; }
};

struct ProgressData {
    OperationState operationState = OperationState::idle;
    std::uint64_t totalCountOfFiles = 0;
    std::int64_t numberOfSource = 0;
    std::uint64_t totalSizeOfFiles = 0;
    std::int32_t completedCountOfFiles = 0;
    std::uint64_t completedSizeOfFiles = 0;
    std::optional<hb::URL> currentFileURL;
    hb::URL currentDestinationURL;
    Action fileAction = Action::move;
    std::optional<Rule> fileShiftRule;
};
