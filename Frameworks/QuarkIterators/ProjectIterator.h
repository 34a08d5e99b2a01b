#pragma once

#include "AssetIterator.h"
#include "IIterator.h"
#include "LayoutIterator.h"
#include "StoryIterator.h"
#include "XTCalls.h"

namespace QXPCursor
{

// The layouts of a project, in the host's order (ascending layout number).
template <> class Project<Layout<NullType>> : public BoundedContainer<Layout<NullType>>
{
public:
    explicit Project(XTProjectId project) : mProject(project) { GetBoundaries(); }

    Layout<NullType>* Next(const Layout<NullType>& element) const override
    {
        const int32_t next = element.Index() + 1;
        return new Layout<NullType>(XT::gProject->GetLayout(mProject, next), next);
    }

private:
    void GetBoundaries()
    {
        SetBoundaries(new Layout<NullType>(XT::gProject->GetLayout(mProject, 0), 0),
                      new Layout<NullType>(XT::kNoDoc, XT::gProject->GetLayoutCount(mProject)));
    }

    XTProjectId mProject;
};

// The stories of a project, in the host's order.
template <> class Project<Story<NullType>> : public BoundedContainer<Story<NullType>>
{
public:
    explicit Project(XTProjectId project) : mProject(project) { GetBoundaries(); }

    Story<NullType>* Next(const Story<NullType>& element) const override
    {
        return new Story<NullType>(XT::gText->GetNextStory(element.Text()));
    }

private:
    void GetBoundaries()
    {
        XTTextRef first = nullptr;
        if (const intptr_t entry = XT::gText->GetFirstStoryEntry(mProject))
            first = XT::gText->GetStoryText(entry);
        SetBoundaries(new Story<NullType>(first), new Story<NullType>(nullptr));
    }

    XTProjectId mProject;
};

// The assets of kind N of a project. All elements share the host iterator,
// which the last of them disposes.
template <int N> class Project<Asset<Int2Type<N>>> : public BoundedContainer<Asset<Int2Type<N>>>
{
public:
    typedef Asset<Int2Type<N>> Element;

    explicit Project(XTProjectId project) : mProject(project) { GetBoundaries(); }

    Element* Next(const Element& element) const override
    {
        AssetIteratorRef iterator = element.Iterator().Get();
        const AssetUID next = (iterator && XT::gAssets->NextAsset(iterator) == 0)
                                  ? XT::gAssets->GetIteratorAsset(iterator)
                                  : XT::kNoAsset;
        return new Element(element.Iterator(), element.Space(), next);
    }

private:
    void GetBoundaries()
    {
        AssetSpaceRef space = XT::gAssets->GetAssetSpace(mProject);
        AssetIteratorRef iterator = nullptr;
        AssetUID first = XT::kNoAsset;
        if (XT::gAssets->NewAssetIterator(space, N, &iterator) == 0)
            first = XT::gAssets->GetIteratorAsset(iterator);
        else
            iterator = nullptr;
        SharedAssetIterator shared(iterator);
        this->SetBoundaries(new Element(shared, space, first), new Element(shared, space, XT::kNoAsset));
    }

    XTProjectId mProject;
};

} // namespace QXPCursor
