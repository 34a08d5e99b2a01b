#include "NodeCreationVisitor.h"

#include "LayoutIterator.h"
#include "PluginString.h"
#include "ProjectIterator.h"
#include "SpreadIterator.h"
#include "XTCalls.h"

#include <map>
#include <set>
#include <type_traits>
#include <utility>

using namespace QXPCursor;

namespace
{

enum FolderLabel
{
    kStoriesFolder = 20,
    kBoxesFolder = 21,
    kLayoutsFolder = 22,
    kAssetsFolder = 26
};

PlaceholderNode* AddFolder(ProjectTreeNodeBase& parent, int label)
{
    auto* folder = new PlaceholderNode(PluginString(label));
    parent.AddChild(folder);
    return folder;
}

template <typename T> ProjectTreeNode<T>* AddPair(ProjectTreeNodeBase& parent, const T& left, const T& right)
{
    auto* pair = new ProjectTreeNode<T>(left, right, Identical);
    parent.AddChild(pair);
    return pair;
}

// Entities handed over as temporaries move into the pair.
template <typename T, typename = std::enable_if_t<!std::is_reference_v<T> && !std::is_const_v<T>>>
ProjectTreeNode<T>* AddPair(ProjectTreeNodeBase& parent, T&& left, T&& right)
{
    auto* pair = new ProjectTreeNode<T>(std::move(left), std::move(right), Identical);
    parent.AddChild(pair);
    return pair;
}

// An entity moved out of a map that is done with, or the empty side.
template <typename T> T Take(T* entity, const T& none)
{
    if (entity)
        return std::move(*entity);
    return none;
}

// Pairs two maps ascending by key: equal keys pair up, the rest meet empty
// entities. `add` receives (left or null, right or null), pointers into the
// maps, const where the maps are.
template <typename Map, typename Add> void KeyedMerge(Map& left, Map& right, Add add)
{
    auto l = left.begin();
    auto r = right.begin();
    while (l != left.end() || r != right.end())
    {
        if (r == right.end() || (l != left.end() && l->first < r->first))
            add(&l++->second, nullptr);
        else if (l == left.end() || r->first < l->first)
            add(nullptr, &r++->second);
        else
            add(&l++->second, &r++->second);
    }
}

// Colours that are the host's own (none, registration, white, black...) are
// in every project and cannot be merged: both sides leave them out alike.
bool IsBuiltInColor(AssetSpaceRef space, AssetUID uid)
{
    XTColorList list = XT::gAssets->GetColorList(space);
    return list && XT::gColors->QueryColor(list, XTColorId(uid), XT::kColorIsBuiltIn) != 0;
}

template <int N> std::set<::Asset> CollectAssets(long project)
{
    std::set<::Asset> assets;
    ::QXPCursor::Project<::QXPCursor::Asset<Int2Type<N>>> container{XTProjectId(project)};
    auto it = container.Begin();
    auto end = container.End();
    for (; *it != *end; ++*it)
    {
        if (N == XT::kColorAssetKind && IsBuiltInColor((*it)->Space(), (*it)->Uid()))
            continue;
        assets.insert(::Asset((*it)->Space(), N, (*it)->Uid()));
    }
    return assets;
}

} // namespace

void NodeCreationVisitor::Create(ProjectTreeNodeBase& node) const
{
    node.Accept(*this);
}

void NodeCreationVisitor::Visit(ProjectTreeNode<NullType>&) const
{
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Project>& node) const
{
    const XTProjectId lhs = node.mLeft.Id();
    const XTProjectId rhs = node.mRight.Id();

    // Layouts, merged by layout number as the host lists them.
    PlaceholderNode* layouts = AddFolder(node, kLayoutsFolder);
    {
        ::QXPCursor::Project<::QXPCursor::Layout<NullType>> left(lhs), right(rhs);
        auto l = left.Begin(), lEnd = left.End();
        auto r = right.Begin(), rEnd = right.End();
        while (*l != *lEnd || *r != *rEnd)
        {
            const bool hasLeft = *l != *lEnd;
            const bool hasRight = *r != *rEnd;
            const int32_t leftKey = hasLeft ? XT::gProject->GetLayoutIndex((*l)->Doc()) : 0;
            const int32_t rightKey = hasRight ? XT::gProject->GetLayoutIndex((*r)->Doc()) : 0;
            const bool takeLeft = hasLeft && (!hasRight || leftKey <= rightKey);
            const bool takeRight = hasRight && (!hasLeft || rightKey <= leftKey);
            auto* pair = AddPair(*layouts, ::Layout(takeLeft ? (*l)->Doc() : XT::kNoDoc, lhs),
                                 ::Layout(takeRight ? (*r)->Doc() : XT::kNoDoc, rhs));
            Visit(*pair);
            if (takeLeft)
                ++*l;
            if (takeRight)
                ++*r;
        }
    }

    // Stories, merged by story number.
    PlaceholderNode* stories = AddFolder(node, kStoriesFolder);
    {
        std::map<long, ::Story> leftStories, rightStories;
        ::QXPCursor::Project<::QXPCursor::Story<NullType>> left(lhs), right(rhs);
        auto l = left.Begin(), lEnd = left.End();
        auto r = right.Begin(), rEnd = right.End();
        while (*l != *lEnd || *r != *rEnd)
        {
            if (*l != *lEnd)
            {
                leftStories.insert_or_assign(XT::gText->GetStoryNumber((*l)->Text()), ::Story((*l)->Text()));
                ++*l;
            }
            if (*r != *rEnd)
            {
                rightStories.insert_or_assign(XT::gText->GetStoryNumber((*r)->Text()), ::Story((*r)->Text()));
                ++*r;
            }
        }
        KeyedMerge(leftStories, rightStories,
                   [&](const ::Story* a, const ::Story* b)
                   { AddPair(*stories, a ? *a : ::Story(long(lhs)), b ? *b : ::Story(long(rhs))); });
    }

    PlaceholderNode* assets = AddFolder(node, kAssetsFolder);
    AddAllAssets<Int2Type<1>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<2>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<3>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<4>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<5>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<6>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<7>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<8>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<9>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<10>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<11>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<12>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<13>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<14>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<15>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<16>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<17>>(*assets, lhs, rhs);
    AddAllAssets<Int2Type<18>>(*assets, lhs, rhs);
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Layout>& node) const
{
    std::map<long, ::Box> leftBoxes, rightBoxes;
    const XTProjectId lhs = node.mLeft.ProjectId();
    const XTProjectId rhs = node.mRight.ProjectId();

    // Spreads pair by position; the boxes of every spread collect into one
    // map per side, so a box pairs with itself whatever spread it moved to.
    ::QXPCursor::Layout<::QXPCursor::Spread<NullType>> left(node.mLeft.Doc(), -1),
        right(node.mRight.Doc(), -1);
    auto l = left.Begin(), lEnd = left.End();
    auto r = right.Begin(), rEnd = right.End();
    while (*l != *lEnd || *r != *rEnd)
    {
        const bool hasLeft = *l != *lEnd;
        const bool hasRight = *r != *rEnd;
        auto* pair = AddPair(node, ::Spread(hasLeft ? (*l)->SpreadBox() : XT::kNoBox, (*l)->Index(), lhs),
                             ::Spread(hasRight ? (*r)->SpreadBox() : XT::kNoBox, (*r)->Index(), rhs));
        Visit(*pair);

        auto collect =
            [](XTBoxRef spreadBox, int16_t index, std::map<long, ::Box>& boxes, XTProjectId project)
        {
            ::QXPCursor::Spread<::QXPCursor::Box<NullType>> spread(spreadBox, index);
            auto it = spread.Begin();
            auto end = spread.End();
            for (; *it != *end; ++*it)
                boxes.insert_or_assign(XT::gBox->GetBoxNumber((*it)->BoxRef(), 0),
                                       ::Box((*it)->BoxRef(), project));
        };
        if (hasLeft)
            collect((*l)->SpreadBox(), (*l)->Index(), leftBoxes, lhs);
        if (hasRight)
            collect((*r)->SpreadBox(), (*r)->Index(), rightBoxes, rhs);
        if (hasLeft)
            ++*l;
        if (hasRight)
            ++*r;
    }

    PlaceholderNode* boxes = AddFolder(node, kBoxesFolder);
    const ::Box leftNone(XT::kNoBox, lhs);
    const ::Box rightNone(XT::kNoBox, rhs);
    // The boxes move from the maps into the tree.
    KeyedMerge(leftBoxes, rightBoxes,
               [&](::Box* a, ::Box* b)
               {
                   if (a && b &&
                       XT::gBox->GetBoxContentType(a->BoxRef()) != XT::gBox->GetBoxContentType(b->BoxRef()))
                   {
                       // A number that changed kind is two different boxes;
                       // copying either replaces the other.
                       Visit(*AddPair(*boxes, Take(a, leftNone), ::Box(rightNone)));
                       Visit(*AddPair(*boxes, ::Box(leftNone), Take(b, rightNone)));
                       return;
                   }
                   Visit(*AddPair(*boxes, Take(a, leftNone), Take(b, rightNone)));
               });
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Spread>& node) const
{
    ::QXPCursor::Spread<::QXPCursor::Page<NullType>> left(node.mLeft.SpreadBox(),
                                                          int16_t(node.mLeft.Index())),
        right(node.mRight.SpreadBox(), int16_t(node.mRight.Index()));
    auto l = left.Begin(), lEnd = left.End();
    auto r = right.Begin(), rEnd = right.End();
    int16_t position = 0;
    while (*l != *lEnd || *r != *rEnd)
    {
        const bool hasLeft = *l != *lEnd;
        const bool hasRight = *r != *rEnd;
        ++position;
        const XTBoxRef leftSpread = node.mLeft.SpreadBox();
        const XTBoxRef rightSpread = node.mRight.SpreadBox();
        const XTProjectId lhs = node.mLeft.ProjectId();
        const XTProjectId rhs = node.mRight.ProjectId();
        Visit(*AddPair(node,
                       hasLeft ? ::Page((*l)->Doc(), (*l)->Number(), leftSpread, position, lhs)
                               : ::Page(XT::kNoDoc, -1, leftSpread, position, lhs),
                       hasRight ? ::Page((*r)->Doc(), (*r)->Number(), rightSpread, position, rhs)
                                : ::Page(XT::kNoDoc, -1, rightSpread, position, rhs)));
        if (hasLeft)
            ++*l;
        if (hasRight)
            ++*r;
    }
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Page>&) const
{
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Box>&) const
{
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Story>&) const
{
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Asset>&) const
{
}

template <typename Kind> void AddAllAssets(ProjectTreeNodeBase& parent, long lhsProject, long rhsProject)
{
    constexpr int N = Kind::value;
    PlaceholderNode* folder = AddFolder(parent, kAssetsFolder + N);
    const std::set<::Asset> left = CollectAssets<N>(lhsProject);
    const std::set<::Asset> right = CollectAssets<N>(rhsProject);

    // The empty side keeps its project's asset space, so that copying the
    // other side's asset can create it there.
    const ::Asset leftNone(XT::gAssets->GetAssetSpace(XTProjectId(lhsProject)), N, XT::kNoAsset);
    const ::Asset rightNone(XT::gAssets->GetAssetSpace(XTProjectId(rhsProject)), N, XT::kNoAsset);

    auto l = left.begin();
    auto r = right.begin();
    while (l != left.end() || r != right.end())
    {
        if (l != left.end() && r != right.end())
        {
            const bool leftFirst = *l <= *r;
            const bool rightFirst = *r <= *l;
            if (leftFirst && rightFirst)
                AddPair(*folder, *l++, *r++);
            else if (leftFirst)
                AddPair(*folder, *l++, rightNone);
            else
                AddPair(*folder, leftNone, *r++);
        }
        else if (l != left.end())
            AddPair(*folder, *l++, rightNone);
        else
            AddPair(*folder, leftNone, *r++);
    }
}

template void AddAllAssets<Int2Type<1>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<2>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<3>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<4>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<5>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<6>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<7>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<8>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<9>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<10>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<11>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<12>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<13>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<14>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<15>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<16>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<17>>(ProjectTreeNodeBase&, long, long);
template void AddAllAssets<Int2Type<18>>(ProjectTreeNodeBase&, long, long);
