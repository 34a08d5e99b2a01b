#pragma once

#include <cstdint>
#include <unordered_map>

namespace XTHost
{

// Hands out opaque handles for host objects that the plug-in never reads
// through. A handle is a number from a counter that never goes back, tagged by
// table, so a stale or foreign handle is simply not found: it can neither
// crash the host nor name another object.
template <typename Handle, typename T> class TokenTable
{
public:
    explicit TokenTable(uintptr_t tag) : mTag(tag) {}

    Handle add(T value)
    {
        const uintptr_t token = (mTag << 40) | (++mCounter << 4);
        mItems.emplace(token, std::move(value));
        return reinterpret_cast<Handle>(token);
    }

    T* find(Handle handle)
    {
        auto it = mItems.find(reinterpret_cast<uintptr_t>(handle));
        return it == mItems.end() ? nullptr : &it->second;
    }

    bool remove(Handle handle) { return mItems.erase(reinterpret_cast<uintptr_t>(handle)) > 0; }

    template <typename Predicate> void removeIf(Predicate predicate)
    {
        for (auto it = mItems.begin(); it != mItems.end();)
            it = predicate(it->second) ? mItems.erase(it) : std::next(it);
    }

    size_t size() const { return mItems.size(); }
    void clear() { mItems.clear(); }

private:
    uintptr_t mTag;
    uintptr_t mCounter = 0;
    std::unordered_map<uintptr_t, T> mItems;
};

} // namespace XTHost
