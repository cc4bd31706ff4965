// Installs the issue reporter, logs a line, then fails the way its argument says.
#include "app/identity/HarbrillIdentity.h"
#include "platform/vendor/DevMateKit.h"

#include <QCoreApplication>

#include <cstring>
#include <stdexcept>
#include <sys/resource.h>

extern "C" __attribute__((noinline)) void harbrillCrashProbe()
{
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

extern "C" __attribute__((noinline)) void harbrillThrowProbe()
{
    throw std::runtime_error("the probe threw");
}

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    Q_INIT_RESOURCE(resources);
    QCoreApplication app(argc, argv);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    DevMateKit::setupIssuesController(true);
    qWarning("about to fail: %s", argc > 1 ? argv[1] : "nothing");
    if (argc > 1 && std::strcmp(argv[1], "segv") == 0)
        harbrillCrashProbe();
    if (argc > 1 && std::strcmp(argv[1], "throw") == 0)
        harbrillThrowProbe();
    return 0;
}
