#include "TestEnvironment.h"

#include "platform/base/Locations.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {
const char* const kVariables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "HOME"};
}

TestEnvironment::TestEnvironment() : m_dir(std::make_unique<QTemporaryDir>())
{
    const QString base = QFileInfo(m_dir->path()).canonicalFilePath();
    const QString folders[] = {"config", "data", "cache", "runtime", "home"};
    for (int i = 0; i < 5; ++i) {
        m_saved[i] = qgetenv(kVariables[i]);
        QDir().mkpath(base + "/" + folders[i]);
        qputenv(kVariables[i], (base + "/" + folders[i]).toUtf8());
    }
    QFile::setPermissions(base + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    hb::Locations::setUserDatabaseHome(base + "/home");
    hb::UserDefaults::resetSharedInstances();
    hb::AccessRegistry::resetForTesting();
}

TestEnvironment::~TestEnvironment()
{
    for (int i = 0; i < 5; ++i) {
        if (m_saved[i].isNull())
            qunsetenv(kVariables[i]);
        else
            qputenv(kVariables[i], m_saved[i]);
    }
    hb::Locations::setUserDatabaseHome({});
    hb::UserDefaults::resetSharedInstances();
    hb::AccessRegistry::resetForTesting();
}

QString TestEnvironment::root() const
{
    return QFileInfo(m_dir->path()).canonicalFilePath();
}

QString TestEnvironment::home() const
{
    return root() + "/home";
}

QString TestEnvironment::makeFolder(const QString& relativePath) const
{
    const QString path = root() + "/" + relativePath;
    QDir().mkpath(path);
    return path;
}

QString TestEnvironment::writeFile(const QString& relativePath, const QByteArray& contents) const
{
    const QString path = root() + "/" + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

hb::URL TestEnvironment::scopedURL(const QString& path) const
{
    return hb::URL::fileURLWithPath(path).withSecurityScope(true);
}

void TestEnvironment::grant(const QString& path) const
{
    hb::AccessRegistry::grantStanding(path);
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

bool skipsAreFailures()
{
    return qEnvironmentVariable("CI").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}
