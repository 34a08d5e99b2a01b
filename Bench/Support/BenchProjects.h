#pragma once

// The generated projects the benchmarks share, so that their figures are of
// the same inputs: bench_host's 500-page project, and that project grown or
// shrunk to a page count in spreads and stories alike.

#include "ProjectGenerator.h"

#include <algorithm>

namespace Bench
{

inline XTHost::GeneratorOptions ProjectOptions(uint32_t seed = 1)
{
    XTHost::GeneratorOptions options;
    options.mLayouts = 2;
    options.mSpreadsPerLayout = 125;
    options.mPagesPerSpread = 2;
    options.mBoxesPerSpread = 20;
    options.mStories = 1000;
    options.mStoryLength = 2000;
    options.mAssetsPerKind = 111;
    options.mSeed = seed;
    options.mEditRate = 0.1;
    return options;
}

inline XTHost::GeneratorOptions ScaleOptions(int pages, uint32_t seed = 1)
{
    XTHost::GeneratorOptions options = ProjectOptions(seed);
    options.mSpreadsPerLayout = std::max(1, pages / (options.mLayouts * options.mPagesPerSpread));
    options.mStories = 2 * pages;
    return options;
}

} // namespace Bench
