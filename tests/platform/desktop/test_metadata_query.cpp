#include "TestEnvironment.h"

#include "platform/base/NotificationCenter.h"
#include "platform/desktop/MetadataContentTypes.h"
#include "platform/desktop/MetadataQuery.h"
#include "platform/desktop/MetadataWalk.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using hb::MetadataAttribute;
using hb::MetadataDate;
using hb::MetadataValue;

// An item whose attributes are given outright; counts what the predicate asked for.
class FakeItem : public hb::MetadataAttributeSource {
public:
    std::map<MetadataAttribute, MetadataValue> values;
    mutable int asked = 0;
    MetadataValue valueForAttribute(MetadataAttribute attribute) const override
    {
        ++asked;
        const auto found = values.find(attribute);
        return found == values.end() ? MetadataValue() : found->second;
    }
};

const MetadataDate noon = MetadataDate(1'700'000'000s);

FakeItem pdfAtNoon()
{
    FakeItem item;
    item.values[MetadataAttribute::dateAdded] = noon;
    item.values[MetadataAttribute::contentTypeTree] = QStringList{"com.adobe.pdf", "public.data", "public.item"};
    item.values[MetadataAttribute::contentType] = QStringLiteral("com.adobe.pdf");
    item.values[MetadataAttribute::kind] = QStringLiteral("PDF document");
    item.values[MetadataAttribute::invisible] = false;
    return item;
}

struct PredicateCase {
    const char* format;
    std::vector<MetadataValue> arguments;
    bool expected;
};

TEST(MetadataPredicate, EvaluatesTheQueryFormat)
{
    const FakeItem item = pdfAtNoon();
    const PredicateCase cases[] = {
        // Dates: both bounds strict.
        {"kMDItemDateAdded > %@ && kMDItemDateAdded < %@", {noon - 1ns, noon + 1ns}, true},
        {"kMDItemDateAdded > %@", {noon}, false},
        {"kMDItemDateAdded < %@", {noon}, false},
        // Lists: == when any element matches, != when none does.
        {"kMDItemContentTypeTree == 'public.item'", {}, true},
        {"kMDItemContentTypeTree == \"public.image\"", {}, false},
        {"kMDItemContentTypeTree != 'public.log'", {}, true},
        {"kMDItemContentTypeTree != 'public.data'", {}, false},
        {"kMDItemContentType != 'com.adobe.pdf'", {}, false},
        // Booleans, absent attributes, unknown attributes.
        {"kMDItemFSInvisible == NO", {}, true},
        {"kMDItemFSInvisible == YES", {}, false},
        {"kMDItemSupportFileType != %@", {QStringLiteral("MDSystemFile")}, true},
        {"kMDItemSupportFileType == %@", {QStringLiteral("MDSystemFile")}, false},
        {"kMDItemNoSuchThing < %@", {noon}, false},
        // A string never equals a Boolean or a date.
        {"kMDItemKind == YES", {}, false},
        {"kMDItemDateAdded == 'PDF document'", {}, false},
        // && binds tighter than ||; parentheses regroup.
        {"kMDItemKind == 'Folder' && kMDItemFSInvisible == NO || kMDItemContentType == 'com.adobe.pdf'", {}, true},
        {"kMDItemKind == 'Folder' && (kMDItemFSInvisible == NO || kMDItemContentType == 'com.adobe.pdf')", {}, false},
        {"kMDItemFSInvisible == NO && (kMDItemContentTypeTree == %@ || kMDItemKind == %@ || kMDItemContentTypeTree == "
         "'public.archive') && kMDItemSupportFileType != %@",
         {QStringLiteral("public.image"), QStringLiteral("Folder"), QStringLiteral("MDSystemFile")},
         false},
    };
    for (const PredicateCase& test : cases) {
        hb::Error error;
        const auto predicate = hb::MetadataPredicate::predicateWithFormat(QString::fromUtf8(test.format),
                                                                          test.arguments, &error);
        ASSERT_TRUE(predicate) << test.format << ": " << error.localizedDescription().toStdString();
        EXPECT_EQ(predicate->evaluateWithObject(item), test.expected) << test.format;
    }
}

TEST(MetadataPredicate, RefusesMalformedFormats)
{
    const struct {
        const char* format;
        std::size_t arguments;
    } cases[] = {
        {"", 0},
        {"kMDItemKind == ", 0},
        {"kMDItemKind = 'Folder'", 0},
        {"(kMDItemKind == 'Folder'", 0},
        {"kMDItemKind == 'Folder", 0},
        {"kMDItemKind == %@", 0},        // a placeholder without an argument
        {"kMDItemKind == 'Folder'", 1},  // an argument without a placeholder
        {"kMDItemKind == 'Folder' &&", 0},
        {"kMDItemKind == 'Folder' kMDItemKind == 'x'", 0},
        {"kMDItemFSInvisible == NOPE", 0},
    };
    for (const auto& test : cases) {
        hb::Error error;
        const std::vector<MetadataValue> arguments(test.arguments, QStringLiteral("x"));
        EXPECT_FALSE(hb::MetadataPredicate::predicateWithFormat(QString::fromUtf8(test.format), arguments, &error))
            << test.format;
        EXPECT_FALSE(error.localizedDescription().isEmpty()) << test.format;
    }
}

TEST(MetadataPredicate, StopsAtTheFirstDecidingSide)
{
    const FakeItem item = pdfAtNoon();
    const auto predicate = hb::MetadataPredicate::predicateWithFormat(
        "kMDItemDateAdded > %@ && kMDItemContentTypeTree == 'public.item' && kMDItemKind == 'Folder'", {noon});
    ASSERT_TRUE(predicate);
    EXPECT_FALSE(predicate->evaluateWithObject(item));
    // Out of the window: the type, which costs a database look-up, is never asked for.
    EXPECT_EQ(item.asked, 1);
}

TEST(MetadataContentTypes, MapsMimeTypesToTheQueryNames)
{
    const struct {
        const char* mime;
        const char* contentType;
        QStringList inTree;
        QStringList notInTree;
    } cases[] = {
        {"application/pdf", "com.adobe.pdf", {"com.adobe.pdf", "public.data", "public.item"}, {"public.text"}},
        // Conforms to PDF without being one.
        {"application/x-wwf", "application/x-wwf", {"com.adobe.pdf"}, {}},
        {"image/png", "image/png", {"public.image"}, {"public.text"}},
        {"audio/mpeg", "audio/mpeg", {"public.audio"}, {}},
        {"video/mp4", "video/mp4", {"public.movie"}, {}},
        {"text/plain", "text/plain", {"public.text"}, {"public.log"}},
        {"text/x-log", "text/x-log", {"public.log", "public.text"}, {}},
        {"application/zip", "application/zip", {"public.archive"}, {}},
        {"application/x-compressed-tar", "application/x-compressed-tar", {"public.archive"}, {}},
        // A document that is a zip file inside is not an archive.
        {"application/vnd.openxmlformats-officedocument.wordprocessingml.document",
         nullptr,
         {"public.item"},
         {"public.archive"}},
        {"application/x-desktop", nullptr, {"com.apple.application"}, {}},
        {"application/x-executable", nullptr, {"com.apple.application"}, {}},
        {"application/vnd.appimage", nullptr, {"com.apple.application"}, {}},
        {"application/octet-stream",
         "application/octet-stream",
         {"public.data", "public.item"},
         {"com.apple.application"}},
    };
    for (const auto& test : cases) {
        const hb::MetadataContentType& type = hb::MetadataContentTypes::forMimeType(QString::fromLatin1(test.mime));
        if (test.contentType) {
            EXPECT_EQ(type.contentType, QString::fromLatin1(test.contentType)) << test.mime;
        }
        EXPECT_EQ(type.contentTypeTree.last(), QStringLiteral("public.item")) << test.mime;
        for (const QString& name : test.inTree)
            EXPECT_TRUE(type.contentTypeTree.contains(name)) << test.mime << " lacks " << name.toStdString();
        for (const QString& name : test.notInTree)
            EXPECT_FALSE(type.contentTypeTree.contains(name)) << test.mime << " has " << name.toStdString();
    }
    EXPECT_EQ(hb::MetadataContentTypes::folder().kind, QStringLiteral("Folder"));
}

// Every item of a tree with the traps a home folder holds: hidden items, links in a loop and out of
// the tree, a pipe nobody writes to, names that are not UTF-8.
class MetadataWalkTest : public HarbrillTest {
protected:
    QStringList gather(const QString& root) const
    {
        const auto everything = hb::MetadataPredicate::predicateWithFormat("kMDItemContentTypeTree == 'public.item'",
                                                                           {});
        std::atomic<bool> cancelled{false};
        QStringList paths;
        for (const hb::MetadataItem& item : hb::MetadataWalk::gather(root, *everything, cancelled, 4))
            paths << item.path().value_or(QString()).mid(root.size() + 1);
        paths.sort();
        return paths;
    }
};

TEST_F(MetadataWalkTest, SkipsHiddenItemsNeverFollowsLinksAndSurvivesTraps)
{
    const QString home = env.home();
    env.writeFile("home/a.txt", "a");
    env.writeFile("home/Sub/b.txt", "b");
    env.writeFile("home/.hidden.txt", "h");
    env.writeFile("home/.config/c.txt", "c");
    env.writeFile("home/Sub/.cache/d.txt", "d");
    env.writeFile("outside/e.txt", "e");
    ASSERT_EQ(::symlink("loopB", QFile::encodeName(home + "/loopA").constData()), 0);
    ASSERT_EQ(::symlink("loopA", QFile::encodeName(home + "/loopB").constData()), 0);
    ASSERT_EQ(::symlink("..", QFile::encodeName(home + "/Sub/up").constData()), 0);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(env.root() + "/outside").constData(), QFile::encodeName(home + "/out").constData()),
        0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(home + "/pipe").constData(), 0600), 0);
    ASSERT_EQ(::mkdir((QFile::encodeName(home) + "/bad\xff").constData(), 0700), 0);
    env.writeFile("home/ok/inside.txt", "");
    env.writeFile("home/ok.txt", "");
    for (const QByteArray& raw : {QByteArray("/bad\xff/lost.txt"), QByteArray("/bad\xfe.pdf")}) {
        const int fd = ::open((QFile::encodeName(home) + raw).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }

    EXPECT_EQ(gather(home), (QStringList{"Sub", "Sub/b.txt", "Sub/up", "a.txt", "loopA", "loopB", "ok", "ok.txt",
                                         "ok/inside.txt", "out"}));
    // The temporary folder's own clean-up cannot name these.
    ::unlink((QFile::encodeName(home) + "/bad\xff/lost.txt").constData());
    ::rmdir((QFile::encodeName(home) + "/bad\xff").constData());
    ::unlink((QFile::encodeName(home) + "/bad\xfe.pdf").constData());
}

TEST_F(MetadataWalkTest, PassesOverFoldersItCannotRead)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not hold back root";
    env.writeFile("home/Locked/inside.txt", "x");
    env.writeFile("home/Open/seen.txt", "x");
    ASSERT_EQ(::chmod(QFile::encodeName(env.home() + "/Locked").constData(), 0), 0);
    const QStringList found = gather(env.home());
    ::chmod(QFile::encodeName(env.home() + "/Locked").constData(), 0700);
    EXPECT_EQ(found, (QStringList{"Locked", "Open", "Open/seen.txt"}));
}

TEST_F(MetadataWalkTest, ReadsTypesFromContentWhenTheNameLeavesThemOpen)
{
    env.writeFile("home/scan", "%PDF-1.4\n1 0 obj\n<<>>\nendobj\n");
    env.writeFile("home/picture", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    env.writeFile("home/named.pdf", "not really a pdf");
    const auto pdfs = hb::MetadataPredicate::predicateWithFormat("kMDItemContentTypeTree == 'com.adobe.pdf'", {});
    const auto images = hb::MetadataPredicate::predicateWithFormat("kMDItemContentTypeTree == 'public.image'", {});
    std::atomic<bool> cancelled{false};
    QStringList found;
    for (const auto& item : hb::MetadataWalk::gather(env.home(), *pdfs, cancelled))
        found << item.path()->section('/', -1);
    for (const auto& item : hb::MetadataWalk::gather(env.home(), *images, cancelled))
        found << item.path()->section('/', -1);
    found.sort();
    EXPECT_EQ(found, (QStringList{"named.pdf", "picture", "scan"}));
}

TEST_F(MetadataWalkTest, QueryDeliversOnceSortedAndNothingAfterStop)
{
    env.writeFile("home/old.txt", "o");
    QThread::msleep(20);
    env.writeFile("home/new.txt", "n");
    auto query = std::make_unique<hb::MetadataQuery>();
    query->setSearchScopes({hb::NSMetadataQueryUserHomeScope});
    query->setPredicate(hb::MetadataPredicate::predicateWithFormat("kMDItemContentTypeTree == 'public.text'", {}));
    query->setSortDescriptors({{hb::kMDItemDateAdded, false}});
    int finished = 0;
    hb::NotificationCenter::defaultCenter().addObserver(this, hb::NSMetadataQueryDidFinishGatheringNotification,
                                                        query.get(), [&](const hb::Notification&) { ++finished; });
    ASSERT_TRUE(query->startQuery());
    EXPECT_FALSE(query->startQuery());
    ASSERT_TRUE(waitUntil([&] { return finished > 0; }));
    QStringList names;
    for (const auto& item : query->results())
        names << item.path()->section('/', -1);
    EXPECT_EQ(names, (QStringList{"new.txt", "old.txt"}));

    auto stopped = std::make_unique<hb::MetadataQuery>();
    stopped->setSearchScopes({hb::NSMetadataQueryUserHomeScope});
    stopped->setPredicate(hb::MetadataPredicate::predicateWithFormat("kMDItemContentTypeTree == 'public.text'", {}));
    hb::NotificationCenter::defaultCenter().addObserver(this, hb::NSMetadataQueryDidFinishGatheringNotification,
                                                        stopped.get(), [&](const hb::Notification&) { ++finished; });
    ASSERT_TRUE(stopped->startQuery());
    stopped->stopQuery();
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(stopped->results().empty());
    hb::NotificationCenter::defaultCenter().removeObserver(this);
}

}  // namespace
