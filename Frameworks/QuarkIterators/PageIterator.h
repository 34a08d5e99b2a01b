#pragma once

#include "IIterator.h"
#include "XTTypes.h"

namespace QXPCursor
{

template <> class Page<NullType> : public Leaf
{
public:
    Page(DocRef doc, int16_t number) : mDoc(doc), mNumber(number) {}
    Page(const Page& other) : Leaf(), mDoc(other.mDoc), mNumber(other.mNumber) {}

    bool operator==(const Page& other) const { return mDoc == other.mDoc && mNumber == other.mNumber; }

    DocRef Doc() const { return mDoc; }
    int16_t Number() const { return mNumber; }

private:
    DocRef mDoc;
    int16_t mNumber;
};

} // namespace QXPCursor
