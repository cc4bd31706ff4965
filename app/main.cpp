#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/ServiceCommand.h"
#include "app/about/AboutScenes.h"
#include "app/feedback/FeedbackScenes.h"
#include "app/identity/HarbrillIdentity.h"
#include "platform/desktop/SingleInstance.h"
#include "platform/interface/Application.h"
#include "platform/interface/PlatformPlugin.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {
int printed(FILE* stream, const QString& text, int exitCode)
{
    std::fputs(qPrintable(text + u'\n'), stream);
    return exitCode;
}

int runServiceCommand(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The bytes as given: a name that is no text must be recognised, not turned into another name.
    QByteArrayList arguments;
    for (int i = 2; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const std::variant<ServiceCommand, QString> parsed = ServiceCommand::parse(arguments);
    if (const QString* problem = std::get_if<QString>(&parsed))
        return printed(stderr, QStringLiteral("harbrill: ") + *problem, 2);
    const ServiceCommand::Outcome outcome = std::get<ServiceCommand>(parsed).send();
    if (outcome.exitCode != 0)
        return printed(stderr, QStringLiteral("harbrill: ") + outcome.message, outcome.exitCode);
    return printed(stdout, outcome.message, 0);
}
}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    if (argc >= 2 && std::strcmp(argv[1], "--service") == 0)
        return runServiceCommand(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
        return printed(stdout, CommandLine::usage(), 0);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        Q_INIT_RESOURCE(resources);
        return printed(stdout, CommandLine::version(), 0);
    }

    hb::PlatformPlugin::chooseForThisSession();
    QApplication app(argc, argv);
    QApplication::setApplicationName(hb::programIdentity().name);
    QApplication::setDesktopFileName(hb::programIdentity().applicationId);
    // Qt's own options (-platform, -display, ...) are taken by the application object.
    if (QCoreApplication::arguments().size() > 1)
        return printed(stderr,
                       QStringLiteral("harbrill: unknown argument %1\n").arg(QCoreApplication::arguments().at(1))
                           + CommandLine::usage(),
                       2);

    hb::SingleInstance instance;
    const std::variant<hb::SingleInstance::Role, hb::Error> role = instance.acquire();
    if (const hb::Error* error = std::get_if<hb::Error>(&role))
        return printed(stderr, QStringLiteral("harbrill: ") + error->localizedDescription(), 1);
    if (std::get<hb::SingleInstance::Role>(role) == hb::SingleInstance::Role::Secondary) {
        if (hb::SingleInstance::requestRaise())
            return 0;
        return printed(stderr, QStringLiteral("harbrill: another Harbrill holds the lock but does not answer."), 1);
    }

    Q_INIT_RESOURCE(resources);
    registerAboutScenes();
    registerFeedbackScenes();
    AppDelegate delegate;
    QObject::connect(&instance, &hb::SingleInstance::raiseRequested, &delegate, &AppDelegate::statusClicked);
    hb::Application::shared().setDelegate(&delegate);
    const int exitCode = hb::Application::shared().run();
    hb::Application::shared().setDelegate(nullptr);
    return exitCode;
}
