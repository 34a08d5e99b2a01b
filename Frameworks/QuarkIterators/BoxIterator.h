#pragma once

#include "IIterator.h"
#include "XTTypes.h"

namespace QXPCursor
{

template <> class Box<NullType> : public Leaf
{
public:
    explicit Box(XTBoxRef box) : mBox(box) {}
    Box(const Box& other) : Leaf(), mBox(other.mBox) {}

    bool operator==(const Box& other) const { return mBox == other.mBox; }

    XTBoxRef BoxRef() const { return mBox; }

private:
    XTBoxRef mBox;
};

} // namespace QXPCursor
