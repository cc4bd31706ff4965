#include "TestEnvironment.h"

#include "mainwindow/controls/HBValueTransformers.h"
#include "platform/interface/Workspace.h"

#include <QIcon>
#include <QImage>

namespace {

TEST(ValueTransformers, AreOneWayAndDeclareTheirValueClass)
{
    const URLFolderNameTransformer folderName;
    const FolderImageNameToImageTransformer image;
    const FilePathToIconTransformer icon;
    const HBUltaBoolTransformer negation;
    const std::pair<const hb::ValueTransformer*, QMetaType> cases[] = {
        {&folderName, QMetaType::fromType<QString>()},
        {&image, QMetaType::fromType<QIcon>()},
        {&icon, QMetaType::fromType<QIcon>()},
        {&negation, QMetaType::fromType<QString>()},  // declared so, though it answers Booleans
    };
    for (const auto& [transformer, valueClass] : cases) {
        EXPECT_FALSE(transformer->allowsReverseTransformation());
        EXPECT_EQ(transformer->transformedValueClass(), valueClass);
        EXPECT_FALSE(transformer->transformedValue(QVariant()).isValid()) << "nothing in, nothing out";
    }
}

TEST(ValueTransformers, FolderNamesImagesAndNegations)
{
    const URLFolderNameTransformer folderName;
    const std::pair<QVariant, QVariant> names[] = {
        {"/Users/al/Documents", "Documents"},
        {"/Users/al/Documents/", "Documents"},
        {"/", "/"},
        {"/Volumes/USB Stick", "USB Stick"},
        {42, QVariant()},
    };
    for (const auto& [in, out] : names)
        EXPECT_EQ(folderName.transformedValue(in), out) << in.toString().toStdString();

    const FolderImageNameToImageTransformer image;
    for (const char* name :
         {"folder", "drive", "Desktop", "Documents", "Music", "Pictures", "Movies", "addfolder", "choosefolder"}) {
        const QIcon icon = image.transformedValue(QString(name)).value<QIcon>();
        EXPECT_FALSE(icon.pixmap(64, 64).isNull()) << name;
    }
    EXPECT_FALSE(image.transformedValue(QString("noSuchImage")).isValid());

    // Every image a tile may name draws a picture, and a tile without access ("Alt" and the folder's
    // name, else the generic one) looks unlike the tile with access.
    const auto drawn = [&](const QString& name) {
        return image.transformedValue(name).value<QIcon>().pixmap(64, 64).toImage().convertToFormat(
            QImage::Format_ARGB32);
    };
    const auto visiblePixels = [](const QImage& picture) {
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                count += qAlpha(picture.pixel(x, y)) > 32;
        return count;
    };
    const std::pair<const char*, const char*> tiles[] = {
        {"folder", "AltGenericIcon"}, {"Desktop", "AltDesktop"},   {"Documents", "AltDocuments"},
        {"Music", "AltMusic"},        {"Pictures", "AltPictures"}, {"Movies", "AltMovies"},
        {"drive", nullptr},           {"addfolder", nullptr},      {"choosefolder", nullptr},
    };
    // An outline (the add tile) covers about a tenth of its square, a folder more than half.
    for (const auto& [granted, withoutAccess] : tiles) {
        const QImage picture = drawn(granted);
        EXPECT_GT(visiblePixels(picture), 64 * 64 / 16) << granted;
        if (!withoutAccess)
            continue;
        const QImage alternative = drawn(withoutAccess);
        EXPECT_GT(visiblePixels(alternative), 64 * 64 / 16) << withoutAccess;
        EXPECT_NE(alternative, picture) << withoutAccess;
    }
    EXPECT_FALSE(image.transformedValue(QString()).isValid());

    const HBUltaBoolTransformer negation;
    EXPECT_EQ(negation.transformedValue(true), QVariant(false));
    EXPECT_EQ(negation.transformedValue(false), QVariant(true));
    EXPECT_EQ(negation.transformedValue(0), QVariant(true));
    EXPECT_FALSE(negation.transformedValue(QString("true")).isValid());
}

// A picture shows itself, scaled into 50 x 50; any other item shows the desktop's icon of its kind.
TEST(ValueTransformers, FileIconsAreThePictureItselfElseTheDesktopIconOfTheKind)
{
    TestEnvironment env;
    QImage red(200, 100, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString picture = env.root() + "/holiday.png";
    ASSERT_TRUE(red.save(picture));
    const QString text = env.writeFile("notes.txt", "x");
    const QString folder = env.makeFolder("f");
    const FilePathToIconTransformer transformer;
    const auto iconOf = [&](const QString& path) { return transformer.transformedValue(path).value<QIcon>(); };
    const auto largest = [](const QIcon& icon) { return icon.pixmap(QSize(256, 256)).toImage(); };

    const QImage shown = largest(iconOf(picture));
    EXPECT_EQ(shown.size(), QSize(50, 25));
    EXPECT_EQ(shown.pixelColor(25, 12), QColor(Qt::red));

    const QImage textIcon = largest(iconOf(text));
    const QImage folderIcon = largest(iconOf(folder));
    for (const QImage& icon : {textIcon, folderIcon, largest(iconOf(env.root() + "/missing"))}) {
        EXPECT_FALSE(icon.isNull());
        EXPECT_NE(icon.pixelColor(icon.width() / 2, icon.height() / 2), QColor(Qt::red)) << "not a picture";
    }
    EXPECT_NE(textIcon, folderIcon) << "a file and a folder look different";
    EXPECT_EQ(textIcon, largest(hb::Workspace::iconForFile(text)));
    EXPECT_EQ(folderIcon, largest(hb::Workspace::iconForFile(folder)));
}

}  // namespace
