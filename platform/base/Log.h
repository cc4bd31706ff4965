#pragma once

#include <QLoggingCategory>

// Debug traces go to the system log (journal via stderr), never to the interface.
Q_DECLARE_LOGGING_CATEGORY(hbLog)
#define HBDebug() qCDebug(hbLog).noquote()
