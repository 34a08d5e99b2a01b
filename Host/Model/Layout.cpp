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
    for (const Spread& spread : mSpreads)
        for (const Box& box : spread.mBoxes)
            if (box.mNumber == number)
                return &box;
    return nullptr;
}

} // namespace XTHost
