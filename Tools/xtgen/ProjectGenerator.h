#pragma once

#include "Model/Project.h"

#include <QString>

#include <cstdint>
#include <random>

namespace XTHost
{

// Sizes of a generated project, the seed, and how much of it the changed twin
// edits (0: an identical twin; 1: nearly everything touched).
struct GeneratorOptions
{
    int mLayouts = 2;
    int mSpreadsPerLayout = 4;
    int mPagesPerSpread = 2;
    int mBoxesPerSpread = 6;
    int mStories = 8;
    int mStoryLength = 1500; // UTF-16 units per story, roughly
    int mAssetsPerKind = 4;
    uint32_t mSeed = 1;
    double mEditRate = 0.1;
};

// Makes a realistic project and a changed twin of it. The same options always
// give the same projects, and so byte-identical files.
class ProjectGenerator
{
public:
    explicit ProjectGenerator(const GeneratorOptions& options);

    Project left();
    // The left project with edits: boxes moved, resized, retyped, renamed and
    // added; stories edited and formatted otherwise in places; assets
    // changed, added and removed;
    // spreads added and a layout only on this side.
    Project right(const Project& left);

    // Writes both files; false with *error when one cannot be written.
    static bool writePair(const GeneratorOptions& options, const QString& leftPath, const QString& rightPath,
                          QString* error);
    // Writes a base and two versions of it edited independently (the second
    // with edits drawn from another seed), as two people would change
    // copies of one project: the input of a three-way merge.
    static bool writeTriple(const GeneratorOptions& options, const QString& basePath, const QString& leftPath,
                            const QString& rightPath, QString* error);

private:
    uint32_t next(uint32_t bound); // 0 .. bound - 1
    bool chance(double probability);
    QString words(int count);
    QString paragraph(int length);
    Story makeStory(int32_t number, int length);
    void formatStory(Story& story);
    Box makeBox(int32_t number, int index, const std::array<Fixed, 4>& spreadBounds);
    Spread makeSpread(int index, int& page, int32_t& boxNumber, int layoutIndex);
    void editStory(Story& story);
    void editBox(Box& box, Project& project, int32_t layoutNumber);

    GeneratorOptions mOptions;
    std::mt19937 mRandom;
};

} // namespace XTHost
