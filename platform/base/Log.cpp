#include "platform/base/Log.h"

Q_LOGGING_CATEGORY(hbLog, "harbrill")
