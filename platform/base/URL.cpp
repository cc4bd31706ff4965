#include "platform/base/URL.h"

#include <QDir>
#include <QStringList>

namespace hb {

namespace {
// Absolute, no empty, "." or ".." component, no trailing slash (except the root itself).
bool isNormal(const QString& path)
{
    if (!path.startsWith(u'/'))
        return false;
    if (path.size() == 1)
        return true;
    if (path.endsWith(u'/'))
        return false;
    qsizetype start = 1;
    while (start <= path.size()) {
        qsizetype end = path.indexOf(u'/', start);
        if (end < 0)
            end = path.size();
        const qsizetype length = end - start;
        if (length == 0)
            return false;
        if (path[start] == u'.' && (length == 1 || (length == 2 && path[start + 1] == u'.')))
            return false;
        start = end + 1;
    }
    return true;
}
}  // namespace

QString URL::normalisedPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    if (isNormal(path))
        return path;  // the common case: walkers and URL arithmetic hand over normal paths
    const QString absolute = path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;
    QStringList parts;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return u'/' + parts.join(u'/');
}

URL URL::fileURLWithPath(const QString& path, bool isDirectory)
{
    URL url;
    url.m_path = normalisedPath(path);
    url.m_isDirectory = isDirectory || url.m_path == u"/";
    return url;
}

URL URL::fromQUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    return fileURLWithPath(path, path.endsWith(u'/'));
}

namespace Path {

QString parent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString lastComponent(const QString& path)
{
    return path == u"/" ? path : path.mid(path.lastIndexOf(u'/') + 1);
}

QString join(const QString& folder, const QString& name)
{
    return folder == u"/" ? folder + name : folder + u'/' + name;
}

}  // namespace Path

QString URL::lastPathComponent() const
{
    return Path::lastComponent(m_path);
}

QString URL::pathExtension() const
{
    const QString name = lastPathComponent();
    const qsizetype dot = name.lastIndexOf(u'.');
    // A leading dot marks a hidden name, not an extension.
    if (dot <= 0 || name == u"/")
        return {};
    return name.mid(dot + 1);
}

URL URL::deletingLastPathComponent() const
{
    if (m_path.isEmpty())
        return {};
    return fileURLWithPath(Path::parent(m_path), true);
}

URL URL::deletingPathExtension() const
{
    const QString extension = pathExtension();
    if (extension.isEmpty())
        return *this;
    URL url = *this;
    url.m_path.chop(extension.size() + 1);
    url.m_securityScoped = false;
    return url;
}

URL URL::appendingPathComponent(const QString& component, bool isDirectory) const
{
    if (m_path.isEmpty())
        return {};
    return fileURLWithPath(m_path + u'/' + component, isDirectory);
}

URL URL::appendingPathExtension(const QString& extension) const
{
    if (m_path.isEmpty() || m_path == u"/" || extension.isEmpty() || extension.contains(u'/'))
        return *this;
    URL url = *this;
    url.m_path += u'.' + extension;
    url.m_securityScoped = false;
    return url;
}

QStringList URL::pathComponents() const
{
    if (m_path.isEmpty())
        return {};
    QStringList components{QStringLiteral("/")};
    components += m_path.split(u'/', Qt::SkipEmptyParts);
    return components;
}

bool URL::contains(const URL& other) const
{
    if (m_path.isEmpty() || other.m_path.isEmpty())
        return false;
    if (m_path == u"/" || other.m_path == m_path)
        return true;
    return other.m_path.startsWith(m_path) && other.m_path.at(m_path.size()) == u'/';
}

QUrl URL::toQUrl() const
{
    if (m_path.isEmpty())
        return {};
    return QUrl::fromLocalFile(m_isDirectory && m_path != u"/" ? m_path + u'/' : m_path);
}

QString URL::absoluteString() const
{
    return toQUrl().toString(QUrl::FullyEncoded);
}

URL URL::withSecurityScope(bool scoped) const
{
    URL url = *this;
    url.m_securityScoped = scoped && !m_path.isEmpty();
    return url;
}

}  // namespace hb
