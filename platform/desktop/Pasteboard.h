#pragma once

#include "platform/base/URL.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace hb {

inline const QString UTTypeFolder = QStringLiteral("public.folder");
inline const QString UTTypeDirectory = QStringLiteral("public.directory");

// Options of a pasteboard read of URL objects.
struct PasteboardReadingOptions {
    bool fileURLsOnly = false;
    // Only items whose contents conform to one of these types ("public.folder" and "public.directory"
    // both mean a folder; a link to a folder counts as the folder). Empty: any contents.
    QStringList contentsConformToTypes;
};

// A pasteboard of URL items, as the service pasteboard hands them to a provider.
class Pasteboard {
public:
    Pasteboard() = default;
    static Pasteboard withFileURLs(const QList<URL>& urls);

    void writeObjects(const QList<QUrl>& urls);
    void clearContents();
    const QList<QUrl>& items() const { return m_items; }

    // The URL items that pass the options, in pasteboard order; none when the pasteboard holds nothing.
    // File URLs count only with no host (or "localhost") and an absolute path; they come back as
    // "file:///path".
    std::optional<QList<QUrl>> readURLs(const PasteboardReadingOptions& options) const;

    // The item as a file URL of this machine, "file:///path"; none for other schemes, other hosts and
    // relative paths.
    static std::optional<QUrl> localFileURL(const QUrl& item);

    // The items as bytes for a service message, and back; none for bytes that do not parse.
    QByteArray serialized() const;
    static std::optional<Pasteboard> fromSerialized(const QByteArray& bytes);

private:
    QList<QUrl> m_items;
};

}  // namespace hb
