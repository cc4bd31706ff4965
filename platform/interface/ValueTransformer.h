#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <memory>

namespace hb {

// A named conversion that interface bindings apply to a model value before a view shows it.
// The registry keeps one shared instance per name. GUI thread only.
class ValueTransformer {
public:
    virtual ~ValueTransformer() = default;

    virtual QVariant transformedValue(const QVariant& value) const { return value; }
    virtual bool allowsReverseTransformation() const { return true; }
    virtual QMetaType transformedValueClass() const { return QMetaType(); }

    // A null transformer removes the name.
    static void setValueTransformer(std::shared_ptr<ValueTransformer> transformer, const QString& name);
    static std::shared_ptr<ValueTransformer> valueTransformerForName(const QString& name);
};

}  // namespace hb
