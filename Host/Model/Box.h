#pragma once

#include "Origin.h"
#include "XTTypes.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace XTHost
{

// A box's property values by label, in label order. A box has a few dozen of
// them and a large project hundreds of thousands of boxes: one sorted array
// per box instead of a tree node per value.
class PropertyMap
{
public:
    using value_type = std::pair<int32_t, int32_t>;
    using iterator = std::vector<value_type>::iterator;
    using const_iterator = std::vector<value_type>::const_iterator;

    iterator begin() { return mValues.begin(); }
    iterator end() { return mValues.end(); }
    const_iterator begin() const { return mValues.begin(); }
    const_iterator end() const { return mValues.end(); }
    size_t size() const { return mValues.size(); }
    bool empty() const { return mValues.empty(); }
    void clear() { mValues.clear(); }
    void reserve(size_t count) { mValues.reserve(count); }

    iterator find(int32_t label)
    {
        const iterator it = lowerBound(label);
        return it != mValues.end() && it->first == label ? it : mValues.end();
    }
    const_iterator find(int32_t label) const { return const_cast<PropertyMap*>(this)->find(label); }
    size_t count(int32_t label) const { return find(label) == end() ? 0 : 1; }

    int32_t& operator[](int32_t label)
    {
        // Values are mostly added in label order: the end is the usual place.
        if (mValues.empty() || mValues.back().first < label)
        {
            mValues.emplace_back(label, 0);
            return mValues.back().second;
        }
        const iterator it = lowerBound(label);
        if (it != mValues.end() && it->first == label)
            return it->second;
        return mValues.insert(it, value_type(label, 0))->second;
    }

    bool operator==(const PropertyMap& other) const { return mValues == other.mValues; }
    bool operator!=(const PropertyMap& other) const { return mValues != other.mValues; }

private:
    iterator lowerBound(int32_t label)
    {
        return std::lower_bound(mValues.begin(), mValues.end(), label,
                                [](const value_type& value, int32_t key) { return value.first < key; });
    }

    std::vector<value_type> mValues;
};

// A box on a spread. Properties are keyed by their label number (see
// BoxProperties for which labels a box of each kind has).
struct Box
{
    int32_t mNumber = 0;
    QString mName; // its own name; empty when it has none
    // The name the document's program shows for a box without a name of its
    // own ("Text12"), which it derives from the box's place in the document.
    // Such a box's number is no identity kept in the file: it changes when a
    // box before it goes. Empty for a box whose number the file keeps.
    QString mDefaultName;
    Origin mOrigin;
    int16_t mKind = XT::kContentNone;
    XTFixedRect mBounds{0, 0, 0, 0}; // the origin is the top-left corner
    QString mColor;                  // background colour by name; empty: none
    PropertyMap mProperties;
    // Text boxes only.
    std::array<Fixed, 4> mInsets{0, 0, 0, 0};
    int32_t mInsetSetting = 0;
    // Picture boxes only.
    QString mPicturePath;
    PropertyMap mPictureProperties;

    bool isText() const { return mKind == XT::kContentText; }
    bool isPicture() const { return mKind == XT::kContentPicture; }

    bool operator==(const Box& other) const
    {
        return mNumber == other.mNumber && mName == other.mName && mKind == other.mKind &&
               mBounds.left == other.mBounds.left && mBounds.top == other.mBounds.top &&
               mBounds.right == other.mBounds.right && mBounds.bottom == other.mBounds.bottom &&
               mColor == other.mColor && mProperties == other.mProperties && mInsets == other.mInsets &&
               mInsetSetting == other.mInsetSetting && mPicturePath == other.mPicturePath &&
               mPictureProperties == other.mPictureProperties;
    }
    bool operator!=(const Box& other) const { return !(*this == other); }
};

} // namespace XTHost
