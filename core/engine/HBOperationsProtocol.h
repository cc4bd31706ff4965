#pragma once

#include "platform/base/URL.h"

// What the operations manager tells the main window. Called on the main thread.
class HBOperationsProtocol {
public:
    virtual ~HBOperationsProtocol() = default;
    // The first destination that a finished, not cancelled shift produced.
    virtual void operationComplete(const hb::URL& destination) = 0;
    // False right after an undo was performed.
    virtual void canUndo(bool canUndo) = 0;
};
