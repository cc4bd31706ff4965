#include "platform/vendor/ProgramVersion.h"

#include "platform/base/Bundle.h"

namespace hb {

QString programVersion()
{
    return QStringLiteral("%1 (%2)").arg(
        Bundle::objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString")).toString(),
        Bundle::objectForInfoDictionaryKey(QStringLiteral("CFBundleVersion")).toString());
}

}  // namespace hb
