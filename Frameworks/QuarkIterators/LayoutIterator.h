#pragma once

#include "IIterator.h"
#include "SpreadIterator.h"
#include "XTCalls.h"

namespace QXPCursor
{

template <> class Layout<NullType> : public Leaf
{
public:
    Layout(DocRef doc, int32_t index) : mDoc(doc), mIndex(index) {}
    Layout(const Layout& other) : Leaf(), mDoc(other.mDoc), mIndex(other.mIndex) {}

    bool operator==(const Layout& other) const { return mDoc == other.mDoc; }

    DocRef Doc() const { return mDoc; }
    int32_t Index() const { return mIndex; }

private:
    DocRef mDoc;
    int32_t mIndex;
};

// The normal spreads of a layout, from 1.
template <> class Layout<Spread<NullType>> : public BoundedContainer<Spread<NullType>>
{
public:
    // The index is stored only; callers pass -1.
    Layout(DocRef doc, int32_t index) : mDoc(doc), mIndex(index) { GetBoundaries(); }

    Spread<NullType>* Next(const Spread<NullType>& element) const override
    {
        const int16_t next = int16_t(element.Index() + 1);
        return new Spread<NullType>(XT::gSpread->GetSpreadBox(mDoc, next), next);
    }

private:
    void GetBoundaries()
    {
        const int16_t count = XT::gSpread->GetSpreadCount(mDoc, 0);
        SetBoundaries(new Spread<NullType>(XT::gSpread->GetSpreadBox(mDoc, 1), 1),
                      new Spread<NullType>(XT::kNoBox, int16_t(count + 1)));
    }

    DocRef mDoc;
    int32_t mIndex;
};

} // namespace QXPCursor
