#pragma once

#include "XTRecords.h"

#include <vector>

namespace XTHost
{

// The plug-in's registered callbacks. Handlers of one code run in ascending
// priority, then in order of registration, synchronously inside dispatch().
class CallbackRegistry
{
public:
    XTError install(int32_t xtId, int32_t code, XTUserCallbackProc handler, uint16_t kind, int16_t priority,
                    XTCallbackId* id, unsigned long userData);
    XTError installSetup(int32_t code, XTCallbackProc handler, int32_t kind, int32_t priority);
    XTError remove(int32_t code, XTCallbackId id);

    // Calls every handler of the code with the record; returns the first
    // non-zero status, or 0. A handler removed by an earlier one in the same
    // dispatch is not called.
    XTStatus dispatch(int32_t code, void* record);

    int count(int32_t code) const;
    void clear();

private:
    struct Entry
    {
        int32_t mCode;
        XTCallbackId mId;
        XTUserCallbackProc mHandler;
        XTCallbackProc mSetupHandler;
        int32_t mPriority;
        unsigned long mUserData;
        uint64_t mSequence;
    };

    bool idInUse(XTCallbackId id) const;
    void insertSorted(Entry entry);

    std::vector<Entry> mEntries; // by priority, then sequence
    XTCallbackId mLastId = 0;
    uint64_t mSequence = 0;
};

} // namespace XTHost
