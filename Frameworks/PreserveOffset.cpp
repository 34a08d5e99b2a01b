#include "PreserveOffset.h"

#include "XTRecords.h"

#include <cstddef>
#include <cstring>

namespace
{

constexpr unsigned short kKind = 7;
constexpr short kPriority = 200;

// The records are packed and the fields unaligned: read them by copying.
template <typename Field> Field ReadField(const void* record, size_t offset)
{
    Field field{};
    std::memcpy(&field, static_cast<const char*>(record) + offset, sizeof field);
    return field;
}

} // namespace

PreserveOffset::PreserveOffset(XTTextRef text, OffsetParams& offsets)
    : mText(text), mInsertCB(*this), mHiddenInsertCB(*this), mDeleteCB(*this)
{
    offsets.Swap(mOffsets);
}

PreserveOffset::~PreserveOffset() = default;

void PreserveOffset::InsertChars(long pos, long count)
{
    for (int* offset : mOffsets)
        if (*offset >= pos)
            *offset += int(count);
}

void PreserveOffset::DeleteChars(long pos, long count)
{
    for (int* offset : mOffsets)
    {
        if (*offset > pos + count)
            *offset -= int(count);
        else if (*offset > pos)
            *offset = int(pos);
    }
}

PreserveOffset::XTPostTextInsertCB::XTPostTextInsertCB(PreserveOffset& owner)
    : BaseCB(XT::kCbPostTextInsert, kKind, kPriority), mOwner(owner)
{
}

XTStatus PreserveOffset::XTPostTextInsertCB::Handler(void* param)
{
    if (ReadField<XTTextRef>(param, offsetof(XTInsertTextRec, text)) == mOwner.mText)
        mOwner.InsertChars(ReadField<int32_t>(param, offsetof(XTInsertTextRec, offset)),
                           ReadField<int32_t>(param, offsetof(XTInsertTextRec, count)));
    return XT::kNoErr;
}

PreserveOffset::XTPostHiddenTextInsertCB::XTPostHiddenTextInsertCB(PreserveOffset& owner)
    : BaseCB(XT::kCbPostHiddenTextInsert, kKind, kPriority), mOwner(owner)
{
}

XTStatus PreserveOffset::XTPostHiddenTextInsertCB::Handler(void* param)
{
    if (ReadField<XTTextRef>(param, offsetof(XTInsertHiddenBytesRec, text)) == mOwner.mText)
        mOwner.InsertChars(ReadField<int32_t>(param, offsetof(XTInsertHiddenBytesRec, offset)),
                           ReadField<uint16_t>(param, offsetof(XTInsertHiddenBytesRec, count)));
    return XT::kNoErr;
}

PreserveOffset::XTPostTextDeleteCB::XTPostTextDeleteCB(PreserveOffset& owner)
    : BaseCB(XT::kCbPostTextDelete, kKind, kPriority), mOwner(owner)
{
}

XTStatus PreserveOffset::XTPostTextDeleteCB::Handler(void* param)
{
    if (ReadField<XTTextRef>(param, offsetof(XTDeleteTextRec, text)) == mOwner.mText)
        mOwner.DeleteChars(ReadField<int32_t>(param, offsetof(XTDeleteTextRec, offset)),
                           ReadField<int32_t>(param, offsetof(XTDeleteTextRec, count)));
    return XT::kNoErr;
}
