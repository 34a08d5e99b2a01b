#pragma once

#include "IIterator.h"
#include "XTTypes.h"

namespace QXPCursor
{

template <> class Story<NullType> : public Leaf
{
public:
    explicit Story(XTTextRef text) : mText(text) {}
    Story(const Story& other) : Leaf(), mText(other.mText) {}

    bool operator==(const Story& other) const { return mText == other.mText; }

    XTTextRef Text() const { return mText; }

private:
    XTTextRef mText;
};

} // namespace QXPCursor
