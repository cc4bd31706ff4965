#include "platform/interface/ValueTransformer.h"

#include <gtest/gtest.h>

namespace {

class Doubler : public hb::ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override { return value.toInt() * 2; }
};

TEST(ValueTransformer, RegistryHandsOutTheSharedInstanceByNameUntilRemoved)
{
    EXPECT_EQ(hb::ValueTransformer::valueTransformerForName("Doubler"), nullptr);
    auto doubler = std::make_shared<Doubler>();
    hb::ValueTransformer::setValueTransformer(doubler, "Doubler");
    EXPECT_EQ(hb::ValueTransformer::valueTransformerForName("Doubler"), doubler);
    EXPECT_EQ(hb::ValueTransformer::valueTransformerForName("Doubler")->transformedValue(21), 42);

    auto replacement = std::make_shared<Doubler>();
    hb::ValueTransformer::setValueTransformer(replacement, "Doubler");
    EXPECT_EQ(hb::ValueTransformer::valueTransformerForName("Doubler"), replacement);
    hb::ValueTransformer::setValueTransformer(nullptr, "Doubler");
    EXPECT_EQ(hb::ValueTransformer::valueTransformerForName("Doubler"), nullptr);
}

}  // namespace
