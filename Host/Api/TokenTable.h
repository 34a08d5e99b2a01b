#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace XTHost
{

// Hands out opaque handles for host objects that the plug-in never reads
// through. A handle is a number from a counter that never goes back, tagged by
// table, so a stale or foreign handle is simply not found: it can neither
// crash the host nor name another object.
//
// A preview rendering calls the host from a worker thread while the main
// thread may still make host strings: every table guards its own map. The
// elements themselves do not move when the map grows, so a found pointer stays
// valid until that element is removed.
template <typename Handle, typename T> class TokenTable
{
public:
    explicit TokenTable(uintptr_t tag) : mTag(tag) {}

    Handle add(T value)
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        const uintptr_t token = (mTag << 40) | (++mCounter << 4);
        mItems.emplace(token, std::move(value));
        return reinterpret_cast<Handle>(token);
    }

    T* find(Handle handle)
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        auto it = mItems.find(reinterpret_cast<uintptr_t>(handle));
        return it == mItems.end() ? nullptr : &it->second;
    }

    bool remove(Handle handle)
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        return mItems.erase(reinterpret_cast<uintptr_t>(handle)) > 0;
    }

    template <typename Predicate> void removeIf(Predicate predicate)
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        for (auto it = mItems.begin(); it != mItems.end();)
            it = predicate(it->second) ? mItems.erase(it) : std::next(it);
    }

    template <typename Function> void forEach(Function function)
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        for (auto& item : mItems)
            function(item.second);
    }

    size_t size() const
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        return mItems.size();
    }
    void clear()
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mItems.clear();
    }

private:
    uintptr_t mTag;
    uintptr_t mCounter = 0;
    std::unordered_map<uintptr_t, T> mItems;
    mutable std::recursive_mutex mMutex;
};

} // namespace XTHost
