#include "TestEnvironment.h"

#include "core/sources/HBFinderData.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/status/HBFilePreview.h"
#include "mainwindow/status/HBInstallScriptFromTabController.h"
#include "mainwindow/status/HBSourceViewController.h"
#include "mainwindow/status/HBStatusChooseFolderController.h"
#include "mainwindow/status/HBStatusForSelectFilesController.h"
#include "platform/base/Bundle.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/UserScriptTask.h"
#include "platform/interface/LayerAnimation.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QVariantAnimation>

#include <sys/stat.h>

namespace {

using hb::LayerAnimation::animationForKey;
using hb::LayerAnimation::opacity;

QList<hb::URL> files(int count)
{
    QList<hb::URL> urls;
    for (int index = 0; index < count; ++index)
        urls << hb::URL::fileURLWithPath(QStringLiteral("/tmp/held/%1").arg(QChar(u'a' + index)), false);
    return urls;
}

TEST(SourceList, ShowsAtMostThreeRowsInTwoColumnsUpToFourFilesAndThreeBeyond)
{
    const struct {
        int files;
        int width;
        int height;
    } cases[] = {{1, 175, 80}, {4, 175, 160}, {5, 255, 160}, {10, 255, 240}};
    for (const auto& c : cases) {
        HBSourceViewController list;
        list.loadData(files(c.files));
        list.loadViewIfNeeded();
        EXPECT_EQ(list.scrollViewWidth(), c.width) << c.files << " files";
        EXPECT_EQ(list.scrollViewHeight(), c.height) << c.files << " files";
        EXPECT_EQ(list.collectionView->numberOfItems(), c.files);
    }
}

TEST(SourceList, ListsTheFilesInReverseOrder)
{
    HBSourceViewController list;
    list.loadData(files(3));
    QStringList names;
    for (const HBSourceViewController::Row& row : list.data())
        names << row.value(QStringLiteral("Name"));
    EXPECT_EQ(names, (QStringList{"c", "b", "a"}));
    EXPECT_EQ(list.data().first().value(QStringLiteral("ImagePath")), QStringLiteral("/tmp/held/c"));
}

TEST(SourceList, OpensFromTheChooseFolderPaneWithTheHeldFiles)
{
    TestEnvironment env;
    HBStatusChooseFolderController pane;
    pane.updateStatus(files(2), DataSource::finder);
    pane.showSourceList();
    ASSERT_TRUE(pane.sourceListPopover());
    auto* list = qobject_cast<HBSourceViewController*>(pane.sourceListPopover()->contentViewController());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->data().size(), 2);
    EXPECT_EQ(list->data().first().value(QStringLiteral("Name")), QStringLiteral("b"));
    pane.sourceListPopover()->close();
}

class PreviewTest : public HarbrillTest {
protected:
    PreviewTest()
    {
        const QString folder = env.makeFolder(QStringLiteral("pictures"));
        env.grant(folder);
        HBURL::shared().bookmark(hb::URL::fileURLWithPath(folder, true), false);
        red = picture(folder, QStringLiteral("red.png"), Qt::red);
        blue = picture(folder, QStringLiteral("blue.png"), Qt::blue);
    }
    static hb::URL picture(const QString& folder, const QString& name, Qt::GlobalColor color)
    {
        QImage image(400, 400, QImage::Format_RGB32);
        image.fill(color);
        image.save(folder + QLatin1Char('/') + name);
        return hb::URL::fileURLWithPath(folder + QLatin1Char('/') + name, false);
    }
    static QColor centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
    hb::URL red, blue;
};

TEST_F(PreviewTest, TheFirstFileLiesOnTop)
{
    const QImage preview = HBFilePreview::getPreviewImageForLastThree({red, blue});
    EXPECT_EQ(preview.size(), QSize(40, 40));
    EXPECT_EQ(centre(preview), QColor(Qt::red));
}

TEST_F(PreviewTest, AnEarlierRequestFinishingLastIsDropped)
{
    HBFilePreview preview;
    QList<std::function<void()>> work;
    preview.setExecutor([&work](std::function<void()> task) { work << std::move(task); });
    QList<QImage> shown;
    QObject::connect(&preview, &HBFilePreview::previewReady, [&shown](const QImage& image) { shown << image; });

    preview.request({red});
    preview.request({blue});
    ASSERT_EQ(work.size(), 2);
    work[1]();
    work[0]();
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(centre(shown.first()), QColor(Qt::blue));
}

// Both panes that show the hot key follow the recorder the same way.
template <class Pane>
class HotKeyHintTest : public HarbrillTest {
};
using Panes = ::testing::Types<HBStatusForSelectFilesController, HBInstallScriptFromTabController>;
TYPED_TEST_SUITE(HotKeyHintTest, Panes);

TYPED_TEST(HotKeyHintTest, TheHintDimsWhileTheRecorderIsOpenAndBrightensForANewHotKey)
{
    TypeParam pane;
    pane.show();
    pane.completeAppearance();
    QWidget* hint = pane.hotKeyLabel;
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    const auto duration = [hint] {
        const QVariantAnimation* animation = animationForKey(hint, QStringLiteral("hb.implicit.opacity"));
        return animation ? animation->duration() : 0;
    };

    defaults.setObject(hotKeyDefaultsKey, QVariantMap{{"KeyCode", 19}, {"ModifierFlags", 1048576}});
    EXPECT_EQ(duration(), 0) << "already fully visible: nothing moves";

    defaults.setBool(launchedHotkeyDefaultsKey, true);
    EXPECT_EQ(opacity(hint), 0.3);
    EXPECT_EQ(duration(), 1000);

    defaults.setObject(hotKeyDefaultsKey, QVariantMap{{"KeyCode", 20}, {"ModifierFlags", 1048576}});
    EXPECT_EQ(opacity(hint), 1.0);
    EXPECT_EQ(duration(), 2000);

    defaults.setBool(launchedHotkeyDefaultsKey, true);
    defaults.setBool(launchedHotkeyDefaultsKey, false);
    EXPECT_EQ(opacity(hint), 1.0);
    EXPECT_EQ(duration(), 1000);

    // Hidden, shown again and hidden: observed once per showing, not at all while hidden.
    pane.hide();
    pane.show();
    pane.completeAppearance();
    pane.hide();
    defaults.setBool(launchedHotkeyDefaultsKey, true);
    EXPECT_EQ(opacity(hint), 1.0);
}

TEST(InstallScriptTab, InstallsTheBundledScriptAsAnExecutableReplacingAnOlderOne)
{
    TestEnvironment env;
    HBInstallScriptFromTabController tab;
    tab.loadViewIfNeeded();
    for (int round = 0; round < 2; ++round) {
        const std::optional<hb::Error> failure = tab.installScript();
        ASSERT_FALSE(failure) << "round " << round << ": " << failure->localizedDescription().toStdString();
        const QString path = hb::UserScriptTask::applicationScriptsDirectory(false)
                                 ->appendingPathComponent(HBFinderData::scriptFileName)
                                 .path();
        QFile script(path);
        ASSERT_TRUE(script.open(QIODevice::ReadOnly));
        EXPECT_EQ(script.readAll(), *hb::Bundle::resourceData(HBFinderData::scriptFileName));
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0755u);
        EXPECT_TRUE(hb::UserDefaults::standard().boolForKey(scriptInstalledDefaultsKey));
    }
}

TEST(DropBar, OffersToMoveWhenTheSourceAllowsItAndHandsTheDropOn)
{
    TestEnvironment env;
    HBBottomBarView bar;
    const struct {
        std::uint64_t allowed;
        std::uint64_t offered;
    } cases[] = {{hb::NSDragOperationMove | hb::NSDragOperationCopy, hb::NSDragOperationMove},
                 {hb::NSDragOperationCopy, hb::NSDragOperationCopy}};
    hb::DraggingPasteboard pasteboard;
    pasteboard.writeFileURLs({hb::URL::fileURLWithPath(QStringLiteral("/tmp/held/a"), false)});
    for (const auto& c : cases)
        EXPECT_EQ(bar.draggingEntered(hb::DraggingInfo(pasteboard, c.allowed, {})), c.offered);

    QList<hb::Notification> posted;
    hb::NotificationCenter::defaultCenter().addObserver(&posted, fromDragSourceNotification, nullptr,
                                                        [&posted](const hb::Notification& n) { posted << n; });
    EXPECT_TRUE(bar.performDragOperation(hb::DraggingInfo(pasteboard, hb::NSDragOperationCopy, {})));
    hb::NotificationCenter::defaultCenter().removeObserver(&posted);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().object, &bar);
    EXPECT_EQ(
        posted.first().userInfo.value(sourceUserInfoKey).value<hb::DraggingInfo>().draggingPasteboard().fileURLs(),
        pasteboard.fileURLs());
}

}  // namespace
