#include "Layout.h"

namespace XTHost
{

int Layout::pageCount() const
{
    int count = 0;
    for (const Spread& spread : mSpreads)
        count += spread.mPages.size();
    return count;
}

const Box* Layout::findBox(int32_t number) const
{
    auto valid = [this](const BoxPlace& place, int32_t wanted) -> const Box*
    {
        if (place.spread >= mSpreads.size() || place.box >= mSpreads[place.spread].mBoxes.size())
            return nullptr;
        const Box& box = mSpreads[place.spread].mBoxes[place.box];
        return box.mNumber == wanted ? &box : nullptr;
    };
    auto known = mBoxIndex.find(number);
    if (known != mBoxIndex.end())
        if (const Box* box = valid(known->second, number))
            return box;
    mBoxIndex.clear();
    for (size_t s = 0; s < mSpreads.size(); ++s)
        for (size_t b = 0; b < mSpreads[s].mBoxes.size(); ++b)
            mBoxIndex.emplace(mSpreads[s].mBoxes[b].mNumber, BoxPlace{s, b});
    known = mBoxIndex.find(number);
    return known == mBoxIndex.end() ? nullptr : valid(known->second, number);
}

} // namespace XTHost
