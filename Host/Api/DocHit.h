#pragma once

#include "HostState.h"

namespace XTHost
{
namespace Api
{

// A layout reference resolved to its open project and position.
struct DocHit
{
    HostState* mState = nullptr;
    OpenProject* mProject = nullptr;
    int mLayout = 0;

    explicit operator bool() const { return mProject; }
    Layout& layout() const { return mProject->mModel.mLayouts[mLayout]; }
    OpenProject::LayoutRefs& refs() const { return mProject->mLayoutRefs[mLayout]; }
};

inline DocHit findDoc(DocRef doc)
{
    DocHit hit;
    hit.mState = HostState::current();
    if (hit.mState && !hit.mState->findDoc(doc, &hit.mProject, &hit.mLayout))
        hit.mProject = nullptr;
    return hit;
}

} // namespace Api
} // namespace XTHost
