#pragma once

#include <QString>

namespace hb {

// The program's version as reports name it: "<short version> (<build>)" from the information resource.
QString programVersion();

}  // namespace hb
