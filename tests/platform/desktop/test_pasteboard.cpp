#include "platform/desktop/Pasteboard.h"
#include "platform/desktop/ServicesBytes.h"

#include "TestEnvironment.h"

#include <QFile>

using hb::Pasteboard;
using hb::PasteboardReadingOptions;

namespace {
QList<QUrl> fileURLs(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}
}  // namespace

class PasteboardTest : public HarbrillTest {};

TEST_F(PasteboardTest, FolderReadKeepsOnlyFoldersInOrder)
{
    const QString a = env.makeFolder("a folder");
    const QString file = env.writeFile("notes.txt", "x");
    const QString b = env.makeFolder("b");
    const QString link = env.root() + "/link to b";
    QFile::link(b, link);
    const QString missing = env.root() + "/gone";

    Pasteboard pasteboard;
    pasteboard.writeObjects(fileURLs({a, file, b, link, missing}));
    pasteboard.writeObjects({QUrl("https://example.com/folder/")});

    const PasteboardReadingOptions folders{true, {hb::UTTypeFolder, hb::UTTypeDirectory}};
    EXPECT_EQ(pasteboard.readURLs(folders), fileURLs({a, b, link}));
    const PasteboardReadingOptions files{true, {}};
    EXPECT_EQ(pasteboard.readURLs(files), fileURLs({a, file, b, link, missing}));
    EXPECT_EQ(pasteboard.readURLs({false, {}})->size(), 6);
}

TEST_F(PasteboardTest, OnlyFileURLsOfThisMachineAreFileURLs)
{
    const QString folder = env.makeFolder("f");
    Pasteboard pasteboard;
    pasteboard.writeObjects(
        {QUrl("file://localhost" + folder), QUrl("file://server" + folder), QUrl("file:f"), QUrl("file:")});
    const QList<QUrl> local = fileURLs({folder});
    EXPECT_EQ(pasteboard.readURLs({true, {hb::UTTypeFolder}}), local);
    EXPECT_EQ(pasteboard.readURLs({true, {}}), local);
    EXPECT_EQ(hb::URL::fromQUrl(local.first()).path(), folder);
}

TEST_F(PasteboardTest, EmptyPasteboardGivesNoListButUnmatchedItemsGiveAnEmptyOne)
{
    Pasteboard pasteboard;
    EXPECT_FALSE(pasteboard.readURLs({true, {}}).has_value());
    pasteboard.writeObjects(fileURLs({env.writeFile("f", "x")}));
    EXPECT_EQ(pasteboard.readURLs({true, {hb::UTTypeFolder}}), QList<QUrl>());
    pasteboard.clearContents();
    EXPECT_FALSE(pasteboard.readURLs({true, {}}).has_value());
}

TEST(PasteboardSerialization, RoundTripsAndRefusesDamagedBytes)
{
    Pasteboard pasteboard;
    pasteboard.writeObjects({QUrl::fromLocalFile("/tmp/a b/ü#%.txt"), QUrl::fromLocalFile("/")});
    const QByteArray bytes = pasteboard.serialized();
    ASSERT_TRUE(Pasteboard::fromSerialized(bytes).has_value());
    EXPECT_EQ(Pasteboard::fromSerialized(bytes)->items(), pasteboard.items());
    EXPECT_TRUE(Pasteboard::fromSerialized(Pasteboard().serialized())->items().isEmpty());

    QByteArray countLie = bytes;
    countLie[3] = char(0x7f);
    hb::BytesWriter badURL;
    badURL.u32(1);
    badURL.blob("http://[invalid");
    const QByteArray cases[] = {
        QByteArray(), bytes.left(bytes.size() - 1),      bytes + "x",
        countLie,     QByteArray("\xff\xff\xff\xff", 4), badURL.bytes(),
    };
    for (const QByteArray& damaged : cases)
        EXPECT_FALSE(Pasteboard::fromSerialized(damaged).has_value()) << damaged.toHex().toStdString();
}
