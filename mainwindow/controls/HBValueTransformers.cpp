#include "mainwindow/controls/HBValueTransformers.h"

#include "core/store/HBURL.h"
#include "platform/base/Bundle.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Thumbnails.h"
#include "platform/interface/Workspace.h"

#include <QIcon>
#include <QPixmap>

namespace {

std::optional<QString> stringValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

}  // namespace

QVariant URLFolderNameTransformer::transformedValue(const QVariant& value) const
{
    const std::optional<QString> path = stringValue(value);
    if (!path || path->isEmpty())
        return {};
    return hb::URL::fileURLWithPath(*path, true).lastPathComponent();
}

QMetaType URLFolderNameTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QString>();
}

QVariant FolderImageNameToImageTransformer::transformedValue(const QVariant& value) const
{
    const std::optional<QString> name = stringValue(value);
    if (!name || name->isEmpty())
        return {};
    const QString path = hb::Bundle::pathForResource(QStringLiteral("images"), *name,
                                                     {QStringLiteral("svg"), QStringLiteral("png")});
    if (path.isEmpty())
        return {};
    return QVariant::fromValue(QIcon(path));
}

QMetaType FolderImageNameToImageTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QIcon>();
}

QVariant FilePathToIconTransformer::transformedValue(const QVariant& value) const
{
    const std::optional<QString> path = stringValue(value);
    if (!path || path->isEmpty())
        return {};
    const hb::URL url = hb::URL::fileURLWithPath(*path);
    const std::optional<hb::URL> scoped = HBURL::shared().bookmarkedURL(url);
    const bool started = scoped && hb::startAccessingSecurityScopedResource(*scoped);
    const std::optional<QImage> thumbnail = hb::Thumbnails::thumbnailForFile(url, QSize(50, 50));
    const QIcon icon = thumbnail ? QIcon(QPixmap::fromImage(*thumbnail)) : hb::Workspace::iconForFile(*path);
    if (started)
        hb::stopAccessingSecurityScopedResource(*scoped);
    return QVariant::fromValue(icon);
}

QMetaType FilePathToIconTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QIcon>();
}

QVariant HBUltaBoolTransformer::transformedValue(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return !value.toBool();
    default:
        return {};
    }
}

QMetaType HBUltaBoolTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QString>();
}
