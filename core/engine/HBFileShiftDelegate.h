#pragma once

// The creator of a shift operation. It has no requirements: an operation never calls it, everything
// it has to say is polled from it.
class HBFileShiftDelegate {
public:
    virtual ~HBFileShiftDelegate() = default;
};
