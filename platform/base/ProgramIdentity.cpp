#include "platform/base/ProgramIdentity.h"

namespace hb {

namespace {

ProgramIdentity& identity()
{
    static ProgramIdentity current;
    return current;
}

}  // namespace

void setProgramIdentity(ProgramIdentity given)
{
    identity() = std::move(given);
}

const ProgramIdentity& programIdentity()
{
    return identity();
}

}  // namespace hb
