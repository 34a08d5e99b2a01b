#include "HiddenTextHelper.h"

#include "XTCalls.h"

#include <algorithm>

namespace
{
const QChar kZeroWidthSpace(0x200B);
}

void HiddenTextHelper::InitCatalog(long start, long length)
{
    mCatalog.clear();
    if (!mText)
        return;
    int32_t position = int32_t(start);
    const int32_t end = int32_t(start + length);
    while (position < end)
    {
        bool found = false;
        XT::gText->FindHiddenRun(mText, &position, end, 0, 0, 1, 0, &found);
        if (!found || position == -1)
            break;
        const int32_t runLength = XT::gText->GetHiddenRunLength(mText, position);
        mCatalog[position] = runLength + 1;
        position += runLength + 1;
    }
}

void HiddenTextHelper::GetFilteredString(QString& s, long start, long length) const
{
    for (auto it = mCatalog.rbegin(); it != mCatalog.rend(); ++it)
    {
        const long runStart = it->first;
        const long runEnd = runStart + it->second;
        if (start + length <= runStart || start >= runEnd)
            continue;
        const long from = std::max(runStart, start);
        const long to = std::min(start + length, runEnd);
        const int at = int(from - start);
        const int count = int(std::min<long>(to - from, s.size() - at));
        if (at >= 0 && count > 0)
            s.replace(at, count, QString(count, kZeroWidthSpace));
    }
}
