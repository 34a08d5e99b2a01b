#pragma once

#include "BoxIterator.h"
#include "IIterator.h"
#include "PageIterator.h"
#include "XTCalls.h"

#include <cstring>

namespace QXPCursor
{

template <> class Spread<NullType> : public Leaf
{
public:
    Spread(XTBoxRef spreadBox, int16_t index) : mSpreadBox(spreadBox), mIndex(index) {}
    Spread(const Spread& other) : Leaf(), mSpreadBox(other.mSpreadBox), mIndex(other.mIndex) {}

    bool operator==(const Spread& other) const { return mSpreadBox == other.mSpreadBox; }

    XTBoxRef SpreadBox() const { return mSpreadBox; }
    int16_t Index() const { return mIndex; }

private:
    XTBoxRef mSpreadBox;
    int16_t mIndex;
};

// The pages of a spread, by page number.
template <> class Spread<Page<NullType>> : public BoundedContainer<Page<NullType>>
{
public:
    // An index of -1 or -2 is unset: it is then worked out from the spread box.
    Spread(XTBoxRef spreadBox, int16_t index) : mSpreadBox(spreadBox), mIndex(index), mDoc(XT::kNoDoc)
    {
        GetBoundaries();
    }

    Page<NullType>* Next(const Page<NullType>& element) const override
    {
        return new Page<NullType>(element.Doc(), int16_t(element.Number() + 1));
    }

    int16_t Index() const { return mIndex; }

private:
    void GetBoundaries()
    {
        mDoc = XT::gBox->GetBoxDocument(mSpreadBox);
        if (mIndex == -1 || mIndex == -2)
            mIndex =
                int16_t(XT::gSpread->GetSpreadNumber(mSpreadBox) - XT::gSpread->GetMasterSpreadCount(mDoc));
        int16_t first = 1;
        int16_t end = 1;
        if (XTHandle pages = XT::gSpread->GetSpreadPages(mDoc, mIndex))
        {
            const int64_t count = XT::gPlatform->GetHandleSize(pages) / int64_t(sizeof(int16_t));
            if (count > 0)
            {
                int16_t last = 0;
                std::memcpy(&first, *pages, sizeof first);
                std::memcpy(&last, *pages + (count - 1) * sizeof(int16_t), sizeof last);
                end = int16_t(last + 1);
            }
            XT::gPlatform->DisposeHandle(pages);
        }
        SetBoundaries(new Page<NullType>(mDoc, first), new Page<NullType>(mDoc, end));
    }

    XTBoxRef mSpreadBox;
    int16_t mIndex;
    DocRef mDoc;
};

// The boxes on a spread, in the host's order.
template <> class Spread<Box<NullType>> : public BoundedContainer<Box<NullType>>
{
public:
    Spread(XTBoxRef spreadBox, int16_t index) : mSpreadBox(spreadBox), mIndex(index) { GetBoundaries(); }

    Box<NullType>* Next(const Box<NullType>& element) const override
    {
        return new Box<NullType>(XT::gBox->GetNextBox(element.BoxRef(), 1));
    }

private:
    void GetBoundaries()
    {
        SetBoundaries(new Box<NullType>(XT::gBox->GetFirstBox(mSpreadBox, 1)), new Box<NullType>(XT::kNoBox));
    }

    XTBoxRef mSpreadBox;
    int16_t mIndex;
};

} // namespace QXPCursor
