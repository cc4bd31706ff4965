#include "core/sources/HBExternalServices.h"
#include "core/store/HBConstants.h"
#include "platform/base/NotificationCenter.h"

#include "TestEnvironment.h"

namespace {

struct Posted {
    QString name;
    QStringList paths;
};

// Every "LocationAdded" and "ReceivedData" posted while it lives, with the paths of its URL list.
class PostRecorder {
public:
    PostRecorder()
    {
        for (const QString& name : {locationAddedNotification, receivedDataNotification}) {
            hb::NotificationCenter::defaultCenter().addObserver(this, name, nullptr, [this](const hb::Notification& n) {
                QStringList paths;
                for (const QVariant& value : n.userInfo.value(n.name).toList())
                    paths.append(value.value<hb::URL>().path());
                EXPECT_TRUE(n.userInfo.contains(n.name));
                posts.append({n.name, paths});
            });
        }
    }
    ~PostRecorder() { hb::NotificationCenter::defaultCenter().removeObserver(this); }
    QList<Posted> posts;
};

hb::Pasteboard pasteboardWith(const QStringList& paths)
{
    QList<hb::URL> urls;
    for (const QString& path : paths)
        urls.append(hb::URL::fileURLWithPath(path));
    return hb::Pasteboard::withFileURLs(urls);
}

}  // namespace

class ExternalServicesTest : public HarbrillTest {
protected:
    HBExternalServices services;
    PostRecorder recorder;
};

TEST_F(ExternalServicesTest, AddToLocationPostsOnlyTheFoldersAndEmptiesThePasteboard)
{
    const QString first = env.makeFolder("Work");
    const QString file = env.writeFile("list.txt", "x");
    const QString second = env.makeFolder("Photos 2024");
    hb::Pasteboard pasteboard = pasteboardWith({first, file, second});
    services.addToLocation(pasteboard, {}, nullptr);
    ASSERT_EQ(recorder.posts.size(), 1);
    EXPECT_EQ(recorder.posts[0].name, "LocationAdded");
    EXPECT_EQ(recorder.posts[0].paths, QStringList({first, second}));
    EXPECT_TRUE(pasteboard.items().isEmpty());
}

TEST_F(ExternalServicesTest, MoveHarbrillPostsFilesAndFoldersInOrderAndKeepsThem)
{
    const QString file = env.writeFile("b.txt", "x");
    const QString folder = env.makeFolder("a");
    hb::Pasteboard pasteboard = pasteboardWith({file, folder});
    services.moveHarbrill(pasteboard, {}, nullptr);
    ASSERT_EQ(recorder.posts.size(), 1);
    EXPECT_EQ(recorder.posts[0].name, "ReceivedData");
    EXPECT_EQ(recorder.posts[0].paths, QStringList({file, folder}));
    EXPECT_EQ(pasteboard.items().size(), 2);
}

TEST_F(ExternalServicesTest, EmptyListsArePostedAndAnEmptyPasteboardPostsNothing)
{
    hb::Pasteboard onlyFiles = pasteboardWith({env.writeFile("x", "x")});
    services.addToLocation(onlyFiles, {}, nullptr);
    hb::Pasteboard webOnly;
    webOnly.writeObjects({QUrl("https://example.com/")});
    services.moveHarbrill(webOnly, {}, nullptr);
    ASSERT_EQ(recorder.posts.size(), 2);
    EXPECT_TRUE(recorder.posts[0].paths.isEmpty());
    EXPECT_TRUE(recorder.posts[1].paths.isEmpty());

    hb::Pasteboard empty;
    services.addToLocation(empty, {}, nullptr);
    services.moveHarbrill(empty, {}, nullptr);
    EXPECT_EQ(recorder.posts.size(), 2);
}

TEST_F(ExternalServicesTest, MessagesReachTheirHandlersByName)
{
    const QString folder = env.makeFolder("f");
    const struct {
        QString message;
        bool handled;
        QString posted;
    } cases[] = {{"addToLocation", true, "LocationAdded"},
                 {"moveHarbrill", true, "ReceivedData"},
                 {"addToLocation:userData:error:", false, {}},
                 {"", false, {}}};
    for (const auto& c : cases) {
        hb::Pasteboard pasteboard = pasteboardWith({folder});
        hb::ServiceAnswer answer;
        recorder.posts.clear();
        EXPECT_EQ(services.performService(c.message, pasteboard, {}, answer), c.handled) << c.message.toStdString();
        EXPECT_EQ(recorder.posts.isEmpty() ? QString() : recorder.posts[0].name, c.posted);
    }
}
