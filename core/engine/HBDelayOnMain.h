#pragma once

#include <functional>

// Runs `execute` once on the main queue `seconds` from now (whole nanoseconds; a negative delay runs as
// soon as possible). A delay that is not a finite number of nanoseconds within the signed 64-bit range
// is refused: nothing is scheduled and the answer is false.
bool delayOnMain(double seconds, std::function<void()> execute);
