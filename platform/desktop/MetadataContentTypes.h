#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace hb {

// An item's type as the metadata query compares it: its own type name, the tree of names it conforms
// to (own first, "public.item" last) and its kind text.
struct MetadataContentType {
    QString contentType;
    QStringList contentTypeTree;
    QString kind;
};

// Types from the shared MIME database, named as the query's predicates name them: "public.image",
// "public.audio", "public.movie", "public.text", "com.adobe.pdf", "public.archive", "public.log",
// "com.apple.application" (desktop entries, executables, AppImages), "public.folder"; every item
// conforms to "public.item". Thread-safe; each MIME type is worked out once per process.
namespace MetadataContentTypes {
const MetadataContentType& folder();
// A file by its name, looking at its first bytes only when the name leaves the type open. `dirfd` is
// the open folder holding `name` (raw bytes); only regular files are read, never through a link.
const MetadataContentType& forFile(int dirfd, const QByteArray& name, const QString& decodedName, bool isRegularFile);
// The type of a MIME type name, for tests and callers that already know it.
const MetadataContentType& forMimeType(const QString& mimeTypeName);
}  // namespace MetadataContentTypes

}  // namespace hb
