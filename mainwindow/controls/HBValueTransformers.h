#pragma once

#include "platform/interface/ValueTransformer.h"

// The named one-way transformers the tiles and settings bind through. Every one answers an absent
// value (an invalid QVariant) for an absent input and for an input of the wrong kind.

// A POSIX path -> the folder's name ("/" stays "/").
class URLFolderNameTransformer : public hb::ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return false; }
    QMetaType transformedValueClass() const override;
};

// An image name -> that image of the application's resources (a QIcon); absent when there is none.
class FolderImageNameToImageTransformer : public hb::ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return false; }
    QMetaType transformedValueClass() const override;
};

// A POSIX path -> its thumbnail drawn as an icon (at most 50 x 50), else the desktop's icon for the
// file (a QIcon). The folder's access is opened for the look and closed again.
class FilePathToIconTransformer : public hb::ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return false; }
    QMetaType transformedValueClass() const override;
};

// A Boolean -> its negation. Declares a string as its value class, as the bindings expect.
class HBUltaBoolTransformer : public hb::ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return false; }
    QMetaType transformedValueClass() const override;
};
