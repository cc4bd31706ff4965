#include "core/engine/HBOperationKeys.h"

#include <algorithm>

void HBOperationKeys::insertKey(std::int64_t identifier)
{
    std::lock_guard lock(lockQueue);
    operationKeys.insert(operationKeys.begin(), identifier);
    rebuildIndex();
}

bool HBOperationKeys::containsKey(std::int64_t identifier) const
{
    std::lock_guard lock(lockQueue);
    return std::find(operationKeys.begin(), operationKeys.end(), identifier) != operationKeys.end();
}

std::int64_t HBOperationKeys::removeKey(std::int64_t identifier)
{
    std::lock_guard lock(lockQueue);
    const auto found = indexDictionary.find(identifier);
    if (found == indexDictionary.end())
        return -1;
    const std::int64_t row = found->second;
    indexDictionary.erase(found);
    operationKeys.erase(operationKeys.begin() + row);
    rebuildIndex();
    return row;
}

std::optional<std::int64_t> HBOperationKeys::indexOfKey(std::int64_t identifier) const
{
    std::lock_guard lock(lockQueue);
    const auto found = indexDictionary.find(identifier);
    if (found == indexDictionary.end())
        return std::nullopt;
    return found->second;
}

std::int64_t HBOperationKeys::count() const
{
    std::lock_guard lock(lockQueue);
    return static_cast<std::int64_t>(operationKeys.size());
}

std::int64_t HBOperationKeys::key(std::int64_t row) const
{
    std::lock_guard lock(lockQueue);
    if (row < 0 || row >= static_cast<std::int64_t>(operationKeys.size()))
        return -1;
    return operationKeys[static_cast<std::size_t>(row)];
}

void HBOperationKeys::rebuildIndex()
{
    indexDictionary.clear();
    for (std::size_t row = 0; row < operationKeys.size(); ++row)
        indexDictionary[operationKeys[row]] = static_cast<std::int64_t>(row);
}
