#include "app/CommandLine.h"

#include "platform/base/Bundle.h"

namespace CommandLine {

QString usage()
{
    return QStringLiteral("usage: harbrill\n"
                          "       harbrill --service addToLocation|moveHarbrill PATH...\n"
                          "       harbrill --help\n"
                          "       harbrill --version");
}

QString version()
{
    return QStringLiteral("harbrill ")
           + hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString")).toString();
}

}  // namespace CommandLine
