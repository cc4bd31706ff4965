#include "core/engine/HBOperationKeys.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
std::vector<std::int64_t> rows(const HBOperationKeys& keys)
{
    std::vector<std::int64_t> result;
    for (std::int64_t row = 0; row < keys.count(); ++row)
        result.push_back(keys.key(row));
    return result;
}
}  // namespace

TEST(OperationKeys, NewestFirstAndRemovalReturnsTheFormerRow)
{
    HBOperationKeys keys;
    for (std::int64_t id : {7, 9, 4})
        keys.insertKey(id);
    EXPECT_EQ(rows(keys), (std::vector<std::int64_t>{4, 9, 7}));

    EXPECT_EQ(keys.removeKey(9), 1);
    EXPECT_EQ(rows(keys), (std::vector<std::int64_t>{4, 7}));
    EXPECT_EQ(keys.indexOfKey(4), 0);
    EXPECT_EQ(keys.indexOfKey(7), 1);
    EXPECT_EQ(keys.indexOfKey(9), std::nullopt);
    EXPECT_FALSE(keys.containsKey(9));
    EXPECT_TRUE(keys.containsKey(7));

    EXPECT_EQ(keys.removeKey(9), -1);
    EXPECT_EQ(rows(keys), (std::vector<std::int64_t>{4, 7}));
}

TEST(OperationKeys, RowsOutsideTheListGiveMinusOne)
{
    HBOperationKeys keys;
    EXPECT_EQ(keys.key(0), -1);
    keys.insertKey(3);
    for (std::int64_t row : {-1, 1, 100})
        EXPECT_EQ(keys.key(row), -1) << row;
}

TEST(OperationKeys, ConcurrentChangesKeepListAndIndexInStep)
{
    HBOperationKeys keys;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&keys, t] {
            for (std::int64_t i = 0; i < 500; ++i) {
                const std::int64_t id = t * 1000 + i;
                keys.insertKey(id);
                if (i % 2)
                    keys.removeKey(id);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(keys.count(), 1000);
    for (std::int64_t row = 0; row < keys.count(); ++row)
        EXPECT_EQ(keys.indexOfKey(keys.key(row)), row);
}
