#include "BaseCB.h"

#include "XTCalls.h"

namespace QUARK
{

BaseCB::BaseCB(long code, unsigned short kind, short priority) : mCode(int32_t(code)), mId(0)
{
    if (XT::gSetup.installCallback)
        XT::gSetup.installCallback(XT::kXTensionId, mCode, &BaseCB::CBHandler, kind, priority, &mId,
                                   reinterpret_cast<unsigned long>(this));
}

BaseCB::~BaseCB()
{
    if (XT::gSetup.removeCallback)
        XT::gSetup.removeCallback(mCode, mId);
}

XTStatus BaseCB::CBHandler(void* param, unsigned long data)
{
    return reinterpret_cast<BaseCB*>(data)->Handler(param);
}

} // namespace QUARK
