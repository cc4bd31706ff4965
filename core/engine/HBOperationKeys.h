#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

// The identifiers of the operations that have a row in the progress window, newest at row 0, with an
// index from identifier to row. Every call is atomic with respect to the others.
class HBOperationKeys {
public:
    // Inserts at row 0; every other row moves down by one.
    void insertKey(std::int64_t identifier);
    bool containsKey(std::int64_t identifier) const;
    // The row the identifier had, or -1 when it was not present.
    std::int64_t removeKey(std::int64_t identifier);
    std::optional<std::int64_t> indexOfKey(std::int64_t identifier) const;
    std::int64_t count() const;
    // The identifier at a row, or -1 for a row outside the list.
    std::int64_t key(std::int64_t row) const;

private:
    void rebuildIndex();

    std::vector<std::int64_t> operationKeys;
    std::unordered_map<std::int64_t, std::int64_t> indexDictionary;
    mutable std::mutex lockQueue;
};
