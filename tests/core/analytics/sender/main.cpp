// A second launch of the reporter: sends one event to the endpoint given as the first argument with the
// tracker id given as the second, then runs until its standard input closes.
#include "app/identity/HarbrillIdentity.h"
#include "core/analytics/GoogleReporter.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QUrl>

#include <unistd.h>

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    Q_INIT_RESOURCE(resources);
    QGuiApplication application(argc, argv);
    if (argc < 3)
        return 2;
    GoogleReporter reporter(QUrl(QString::fromLocal8Bit(argv[1])));
    reporter.configure(QString::fromLocal8Bit(argv[2]));
    reporter.event(QStringLiteral("Launch"), QStringLiteral("Second"));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char byte;
        if (::read(STDIN_FILENO, &byte, 1) <= 0)
            application.quit();
    });
    return application.exec();
}
