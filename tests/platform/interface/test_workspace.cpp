#include "TestEnvironment.h"

#include "platform/base/Locations.h"
#include "platform/interface/Thumbnails.h"
#include "platform/interface/Workspace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

namespace {

class WorkspaceTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::Workspace::setOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }
    void TearDown() override { hb::Workspace::setOpener(nullptr); }
    QList<QUrl> opened;
};

TEST_F(WorkspaceTest, OpensFilesAndRevealsThroughTheParentFolderWhereNoFileManagerAnswers)
{
    const QString folder = env.makeFolder("Reports");
    const QString file = env.writeFile("Reports/a b.txt", "x");
    EXPECT_TRUE(hb::Workspace::openFile(hb::URL::fileURLWithPath(folder, true)));
    EXPECT_FALSE(hb::Workspace::openFile(hb::URL()));
    EXPECT_TRUE(hb::Workspace::activateFileViewerSelectingURLs({hb::URL::fileURLWithPath(file)}));
    EXPECT_FALSE(hb::Workspace::activateFileViewerSelectingURLs({}));
    ASSERT_EQ(opened.size(), 2);
    for (const QUrl& url : opened)
        EXPECT_EQ(hb::URL::fromQUrl(url).path(), folder);
}

TEST_F(WorkspaceTest, EveryPathGetsAnIcon)
{
    const QString folder = env.makeFolder("f");
    const QString text = env.writeFile("f/notes.txt", "x");
    for (const QString& path : {folder, text, env.root() + "/missing.pdf", QString("/")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(hb::Workspace::iconForFile(path).isNull());
    }
}

TEST_F(WorkspaceTest, ThumbnailsComeFromACurrentCacheEntryElseFromThePictureItself)
{
    const QString document = env.writeFile("doc.odt", "not a picture");
    const hb::URL documentURL = hb::URL::fileURLWithPath(document);
    EXPECT_FALSE(hb::Thumbnails::thumbnailForFile(documentURL, QSize(50, 50)));

    const QString cacheFolder = hb::Locations::cacheHome() + "/thumbnails/normal";
    ASSERT_TRUE(QDir().mkpath(cacheFolder));
    const QString cached = cacheFolder + "/"
                           + QCryptographicHash::hash(documentURL.toQUrl().toEncoded(), QCryptographicHash::Md5).toHex()
                           + ".png";
    QImage thumbnail(128, 96, QImage::Format_ARGB32);
    thumbnail.fill(Qt::red);
    auto writeThumbnail = [&](qint64 mtime) {
        thumbnail.setText("Thumb::MTime", QString::number(mtime));
        ASSERT_TRUE(thumbnail.save(cached));
    };
    const qint64 modified = QFileInfo(document).lastModified().toSecsSinceEpoch();
    writeThumbnail(modified - 100);  // made for an older version of the file
    EXPECT_FALSE(hb::Thumbnails::thumbnailForFile(documentURL, QSize(50, 50)));
    writeThumbnail(modified);
    const std::optional<QImage> fromCache = hb::Thumbnails::thumbnailForFile(documentURL, QSize(50, 50));
    ASSERT_TRUE(fromCache);
    EXPECT_EQ(fromCache->width(), 50);
    EXPECT_NEAR(fromCache->height(), 37.5, 0.5);
    EXPECT_EQ(fromCache->pixelColor(10, 10), QColor(Qt::red));

    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    const QString picturePath = env.root() + "/photo.png";
    ASSERT_TRUE(picture.save(picturePath));
    const std::optional<QImage> scaled = hb::Thumbnails::thumbnailForFile(hb::URL::fileURLWithPath(picturePath),
                                                                          QSize(50, 50));
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->size(), QSize(50, 25));
}

}  // namespace
