#include "CallbackRegistry.h"

#include <algorithm>

namespace XTHost
{

bool CallbackRegistry::idInUse(XTCallbackId id) const
{
    return std::any_of(mEntries.begin(), mEntries.end(), [id](const Entry& e) { return e.mId == id; });
}

void CallbackRegistry::insertSorted(Entry entry)
{
    auto it = std::upper_bound(mEntries.begin(), mEntries.end(), entry,
                               [](const Entry& a, const Entry& b) {
                                   return a.mPriority != b.mPriority ? a.mPriority < b.mPriority
                                                                     : a.mSequence < b.mSequence;
                               });
    mEntries.insert(it, entry);
}

XTError CallbackRegistry::install(int32_t xtId, int32_t code, XTUserCallbackProc handler, uint16_t kind,
                                  int16_t priority, XTCallbackId* id, unsigned long userData)
{
    if (!handler || !id)
        return XT::kErrParam;
    if (mEntries.size() >= 30000)
        return XT::kErrRefused;
    // Ids are positive 16-bit values, never two alike among the installed.
    do
        mLastId = mLastId >= 32767 ? 1 : XTCallbackId(mLastId + 1);
    while (idInUse(mLastId));
    insertSorted({code, mLastId, handler, nullptr, priority, userData, ++mSequence});
    *id = mLastId;
    return XT::kNoErr;
}

XTError CallbackRegistry::installSetup(int32_t code, XTCallbackProc handler, int32_t kind, int32_t priority)
{
    if (!handler)
        return XT::kErrParam;
    // Setup-time callbacks are never removed one by one, so they take no id
    // that the plug-in could confuse with its own.
    insertSorted({code, 0, nullptr, handler, priority, 0, ++mSequence});
    return XT::kNoErr;
}

XTError CallbackRegistry::remove(int32_t code, XTCallbackId id)
{
    auto it = std::find_if(mEntries.begin(), mEntries.end(),
                           [&](const Entry& e) { return e.mCode == code && e.mId == id && e.mHandler; });
    if (it == mEntries.end())
        return XT::kErrNotFound;
    mEntries.erase(it);
    return XT::kNoErr;
}

XTStatus CallbackRegistry::dispatch(int32_t code, void* record)
{
    std::vector<uint64_t> due;
    for (const Entry& e : mEntries)
        if (e.mCode == code)
            due.push_back(e.mSequence);
    XTStatus result = XT::kNoErr;
    for (uint64_t sequence : due)
    {
        // Look the entry up again: an earlier handler may have removed it.
        auto it = std::find_if(mEntries.begin(), mEntries.end(),
                               [sequence](const Entry& e) { return e.mSequence == sequence; });
        if (it == mEntries.end())
            continue;
        const Entry entry = *it;
        const XTStatus status =
            entry.mHandler ? entry.mHandler(record, entry.mUserData) : entry.mSetupHandler(record);
        if (result == XT::kNoErr)
            result = status;
    }
    return result;
}

int CallbackRegistry::count(int32_t code) const
{
    return int(
        std::count_if(mEntries.begin(), mEntries.end(), [code](const Entry& e) { return e.mCode == code; }));
}

void CallbackRegistry::clear()
{
    mEntries.clear();
}

} // namespace XTHost
