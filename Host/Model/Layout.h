#pragma once

#include "Spread.h"

#include <QString>
#include <QStringList>

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
    const Box* findBox(int32_t number) const;

    bool operator==(const Layout& other) const
    {
        return mNumber == other.mNumber && mName == other.mName && mType == other.mType &&
               mMasterSpreads == other.mMasterSpreads && mMasterPages == other.mMasterPages &&
               mSpreads == other.mSpreads;
    }
    bool operator!=(const Layout& other) const { return !(*this == other); }
};

} // namespace XTHost
