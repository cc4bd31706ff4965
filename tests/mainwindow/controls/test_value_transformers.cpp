#include "TestEnvironment.h"

#include "mainwindow/controls/HBValueTransformers.h"

#include <QIcon>

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
