#pragma once

#include <QMetaType>
#include <QString>
#include <QUrl>

#include <functional>

namespace hb {

// Text arithmetic on normalised absolute paths, for code that walks paths without building URLs.
namespace Path {
QString parent(const QString& path);         // "/" for "/" and for top-level items
QString lastComponent(const QString& path);  // "/" for "/"
QString join(const QString& folder, const QString& name);
}  // namespace Path

// A file URL: an absolute, normalised POSIX path (no trailing slash; the root is "/"), a directory
// hint, and whether it came from resolving a security-scoped bookmark (only such URLs can open a scope).
class URL {
public:
    URL() = default;
    static URL fileURLWithPath(const QString& path, bool isDirectory = false);
    static URL fromQUrl(const QUrl& url);  // none (empty) unless it is a file URL

    bool isEmpty() const { return m_path.isEmpty(); }
    bool isFileURL() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    bool hasDirectoryPath() const { return m_isDirectory; }
    bool isSecurityScoped() const { return m_securityScoped; }

    QString lastPathComponent() const;
    QString pathExtension() const;
    URL deletingLastPathComponent() const;
    URL deletingPathExtension() const;
    URL appendingPathComponent(const QString& component, bool isDirectory = false) const;
    URL appendingPathExtension(const QString& extension) const;
    QStringList pathComponents() const;

    // Whether `other` is this path or lies below it, by whole path components.
    bool contains(const URL& other) const;

    QUrl toQUrl() const;
    QString absoluteString() const;  // "file:///..." percent-encoded

    URL withSecurityScope(bool scoped) const;

    // Equality is by path only, as file URLs compare in the program.
    bool operator==(const URL& other) const { return m_path == other.m_path; }
    bool operator!=(const URL& other) const { return !(*this == other); }

    static QString normalisedPath(const QString& path);

private:
    QString m_path;
    bool m_isDirectory = false;
    bool m_securityScoped = false;
};

}  // namespace hb

template <>
struct std::hash<hb::URL> {
    size_t operator()(const hb::URL& url) const noexcept { return qHash(url.path()); }
};

Q_DECLARE_METATYPE(hb::URL)
