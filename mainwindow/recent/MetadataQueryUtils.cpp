#include "mainwindow/recent/MetadataQueryUtils.h"

#include "platform/base/Log.h"

namespace {

const QString allType = QStringLiteral("All Type");
const QString folderType = QStringLiteral("Folder");
const QString otherType = QStringLiteral("Other");
const QString systemFile = QStringLiteral("MDSystemFile");

}  // namespace

void MetadataQueryUtils::QueryDeleter::operator()(hb::MetadataQuery* query) const
{
    query->deleteLater();
}

MetadataQueryUtils::~MetadataQueryUtils()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    if (metadataQuery)
        metadataQuery->stopQuery();
}

std::optional<QString> MetadataQueryUtils::contentType(const QString& fileType)
{
    static const std::pair<QString, QString> groups[] = {
        {allType, QStringLiteral("public.item")},
        {QStringLiteral("Archive"), QStringLiteral("public.archive")},
        {folderType, QStringLiteral("Folder")},
        {QStringLiteral("Music"), QStringLiteral("public.audio")},
        {QStringLiteral("PDF"), QStringLiteral("com.adobe.pdf")},
        {QStringLiteral("Photos"), QStringLiteral("public.image")},
        {QStringLiteral("Text"), QStringLiteral("public.text")},
        {QStringLiteral("Videos"), QStringLiteral("public.movie")},
        {otherType, QStringLiteral("public.item")},
    };
    for (const auto& [name, value] : groups) {
        if (name == fileType)
            return value;
    }
    return std::nullopt;
}

std::optional<MetadataQueryUtils::PredicateFormat> MetadataQueryUtils::predicateFormat(const QString& fileType,
                                                                                       hb::MetadataDate from,
                                                                                       hb::MetadataDate to)
{
    const std::optional<QString> value = contentType(fileType);
    if (!value)
        return std::nullopt;
    const QString& added = hb::kMDItemDateAdded;
    const QString& tree = hb::kMDItemContentTypeTree;
    const QString& kind = hb::kMDItemKind;
    const QString tail = QStringLiteral(" == %@ && kMDItemFSInvisible == NO && kMDItemSupportFileType != %@");

    PredicateFormat predicate;
    predicate.format = added + QStringLiteral(" > %@ && ") + added + QStringLiteral(" < %@ && ") + tree
                       + QStringLiteral(" != 'com.apple.application' && ") + tree
                       + (fileType == allType ? QStringLiteral(" != 'public.log' && (")
                                              : QStringLiteral(" != 'public.log' && "));
    predicate.arguments = {from, to};
    if (fileType == allType) {
        predicate.format += tree + QStringLiteral(" == %@ || ") + kind + QStringLiteral(" == %@ || ") + tree
                            + QStringLiteral(
                                " == 'public.archive') && kMDItemFSInvisible == NO && kMDItemSupportFileType != %@");
        predicate.arguments.insert(predicate.arguments.end(), {*value, folderType, systemFile});
    } else if (fileType == otherType) {
        predicate.format += tree + QStringLiteral(" != 'public.image' && ") + tree
                            + QStringLiteral(" != 'public.text' && ") + hb::kMDItemContentType
                            + QStringLiteral(" != 'com.adobe.pdf' && ") + tree
                            + QStringLiteral(" != 'public.archive' && ") + tree
                            + QStringLiteral(" != 'public.movie' && ") + tree + QStringLiteral(" != 'public.audio' && ")
                            + kind + QStringLiteral(" != 'Folder' && ") + tree + tail;
        predicate.arguments.insert(predicate.arguments.end(), {*value, systemFile});
    } else {
        predicate.format += (fileType == folderType ? kind : tree) + tail;
        predicate.arguments.insert(predicate.arguments.end(), {*value, systemFile});
    }
    return predicate;
}

void MetadataQueryUtils::removeGatheringObserver()
{
    if (metadataQuery)
        hb::NotificationCenter::defaultCenter().removeObserver(this, hb::NSMetadataQueryDidFinishGatheringNotification,
                                                               metadataQuery.get());
}

void MetadataQueryUtils::startQuery(const QString& fileType, hb::MetadataDate from, hb::MetadataDate to)
{
    // A query replaced here no longer reports to this utility.
    removeGatheringObserver();
    metadataQuery.reset(new hb::MetadataQuery);
    hb::NotificationCenter::defaultCenter().addObserver(
        this, hb::NSMetadataQueryDidFinishGatheringNotification, metadataQuery.get(),
        [this](const hb::Notification& notification) { queryDidFinish(notification); });

    const std::optional<PredicateFormat> predicate = predicateFormat(fileType, from, to);
    if (!predicate)
        return;
    metadataQuery->setSearchScopes({hb::NSMetadataQueryUserHomeScope});
    hb::Error error;
    std::optional<hb::MetadataPredicate> parsed = hb::MetadataPredicate::predicateWithFormat(
        predicate->format, predicate->arguments, &error);
    if (!parsed)
        qCWarning(hbLog).noquote() << error.localizedDescription();
    metadataQuery->setPredicate(std::move(parsed));
    metadataQuery->setSortDescriptors({{hb::kMDItemDateAdded, false}});
    metadataQuery->startQuery();
}

void MetadataQueryUtils::queryDidFinish(const hb::Notification& notification)
{
    if (metadataQuery) {
        metadataQuery->disableUpdates();
        metadataQuery->stopQuery();
    }
    // Only the held query's own announcement counts; one arriving with none held is stale.
    if (!notification.object || !metadataQuery || notification.object != metadataQuery.get())
        return;
    std::vector<hb::MetadataItem> items = metadataQuery->takeResults();
    if (delegate)
        delegate->updateRecentFiles(std::move(items));
    removeGatheringObserver();
    metadataQuery.reset();
}
