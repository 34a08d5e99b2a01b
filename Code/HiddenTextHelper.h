#pragma once

#include "XTTypes.h"

#include <QString>

#include <map>

// Masks a story's hidden runs in its compared text without changing the
// text's length, so offsets into the text stay the host's offsets.
class HiddenTextHelper
{
public:
    explicit HiddenTextHelper(XTTextRef text) : mText(text) {}

    // Finds the hidden runs of [start, start + length).
    void InitCatalog(long start, long length);
    // Replaces every unit of s that lies in a hidden run by a zero-width
    // space; s holds the text from `start` on.
    void GetFilteredString(QString& s, long start, long length) const;

    // Start of each run -> its extent (the run's length plus its marker).
    const std::map<long, long>& Catalog() const { return mCatalog; }

private:
    XTTextRef mText;
    std::map<long, long> mCatalog;
};
