#pragma once

#include "XTTypes.h"

namespace QUARK
{

// One registered host callback. Registration happens in the constructor and
// removal in the destructor, so a callback is installed exactly as long as the
// object lives.
class BaseCB
{
public:
    BaseCB(long code, unsigned short kind, short priority);
    virtual ~BaseCB();
    BaseCB(const BaseCB&) = delete;
    BaseCB& operator=(const BaseCB&) = delete;

    virtual XTStatus Handler(void* param) = 0;

    static XTStatus CBHandler(void* param, unsigned long data);

    long Code() const { return mCode; }
    XTCallbackId Id() const { return mId; }

private:
    int32_t mCode;
    XTCallbackId mId;
};

} // namespace QUARK
