#pragma once

#include "platform/interface/ValueTransformer.h"

#include <QFont>
#include <QMetaType>
#include <QString>

class QLabel;

// Text with its font and a baseline offset, as labels bound through a transformer show it.
struct HBAttributedString {
    QString string;
    QFont font;
    double baselineOffset = 0;

    // Puts the text into the label: its font, and the offset as space below the text.
    void applyTo(QLabel& label) const;
};
Q_DECLARE_METATYPE(HBAttributedString)

// A "HotKey" record -> its display text in capitals, large (32 points for up to 2 characters, else 22)
// and raised by 5 points. One-way.
class HotKeyToStringTransformer : public hb::ValueTransformer {
public:
    static constexpr double kShortTextPointSize = 32;
    static constexpr double kLongTextPointSize = 22;
    static constexpr double kBaselineOffset = 5.0;

    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return false; }
    QMetaType transformedValueClass() const override { return QMetaType::fromType<HBAttributedString>(); }
};
