#pragma once

#include "Spread.h"

#include <QString>
#include <QStringList>

#include <unordered_map>
#include <vector>

namespace XTHost
{

// A layout. Its number is persistent identity: a layout keeps it for life and
// projects pair their layouts by it. Masters are counted only: master spreads
// hold no boxes here, master pages have labels.
struct Layout
{
    int32_t mNumber = 0;
    QString mName;
    XTFourCC mType = XT::kLayoutPrint;
    int16_t mMasterSpreads = 0;
    QStringList mMasterPages;
    std::vector<Spread> mSpreads;

    int pageCount() const;
    // By number, through an index of where each box is; the index is checked
    // on every hit and rebuilt when it is stale or misses, since the spreads
    // and boxes are edited in place. Not for use from two threads at once.
    const Box* findBox(int32_t number) const;

    bool operator==(const Layout& other) const
    {
        return mNumber == other.mNumber && mName == other.mName && mType == other.mType &&
               mMasterSpreads == other.mMasterSpreads && mMasterPages == other.mMasterPages &&
               mSpreads == other.mSpreads;
    }
    bool operator!=(const Layout& other) const { return !(*this == other); }

private:
    struct BoxPlace
    {
        size_t spread;
        size_t box;
    };
    mutable std::unordered_map<int32_t, BoxPlace> mBoxIndex;
};

} // namespace XTHost
