#include "TestEnvironment.h"

#include "mainwindow/controls/HBValueTransformers.h"

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
    for (const char* name : {"folder", "drive", "Desktop", "Documents", "Music", "Pictures", "Movies", "addfolder",
                             "choosefolder"}) {
        const QIcon icon = image.transformedValue(QString(name)).value<QIcon>();
        EXPECT_FALSE(icon.pixmap(64, 64).isNull()) << name;
    }
    EXPECT_FALSE(image.transformedValue(QString("noSuchImage")).isValid());

    // Every image a tile may name draws a picture, and a tile without access ("Alt" and the folder's
    // name, else the generic one) looks unlike the tile with access.
    const auto drawn = [&](const QString& name) {
        return image.transformedValue(name).value<QIcon>().pixmap(64, 64).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const auto visiblePixels = [](const QImage& picture) {
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                count += qAlpha(picture.pixel(x, y)) > 32;
        return count;
    };
    const std::pair<const char*, const char*> tiles[] = {
        {"folder", "AltGenericIcon"}, {"Desktop", "AltDesktop"}, {"Documents", "AltDocuments"}, {"Music", "AltMusic"},
        {"Pictures", "AltPictures"}, {"Movies", "AltMovies"}, {"drive", nullptr}, {"addfolder", nullptr},
        {"choosefolder", nullptr},
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

TEST(ValueTransformers, FileIconsFallBackToTheDesktopIconWithoutAThumbnail)
{
    TestEnvironment env;
    const QString text = env.writeFile("notes.txt", "x");
    const FilePathToIconTransformer icon;
    for (const QString& path : {text, env.root() + "/missing", env.makeFolder("f")})
        EXPECT_FALSE(icon.transformedValue(path).value<QIcon>().isNull()) << path.toStdString();
}

}  // namespace
