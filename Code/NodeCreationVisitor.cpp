#include "NodeCreationVisitor.h"

#include "BoxPairing.h"
#include "LayoutIterator.h"
#include "PluginString.h"
#include "ProjectIterator.h"
#include "SpreadIterator.h"
#include "XTCalls.h"

#include <cstring>
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

// The kinds of asset, numbered from 1.
constexpr size_t kAssetKinds = 18;

// Every kind of asset, from 1, each in its folder.
template <size_t... Kinds>
void AddEveryKind(ProjectTreeNodeBase& parent, long lhsProject, long rhsProject, std::index_sequence<Kinds...>)
{
    (AddAllAssets<Int2Type<int(Kinds) + 1>>(parent, lhsProject, rhsProject), ...);
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

// One side's boxes of a layout: by number where the file keeps it, else in
// the document's order with what they are; and each spread's stacking order.
struct LayoutBoxes
{
    std::map<long, ::Box> mNumbered;
    std::vector<::Box> mUnnumbered;
    std::vector<BoxPairing::Signature> mSignatures;
    std::vector<std::vector<XTBoxRef>> mSpreads; // bottom first

    void Collect(XTBoxRef spreadBox, int16_t index, XTProjectId project, const BoxMemo* memo)
    {
        auto read = [&](XTBoxRef box)
        {
            if (memo)
            {
                const auto found = memo->find(box);
                if (found != memo->end())
                    return ::Box(*found->second);
            }
            return ::Box(box, project);
        };
        mSpreads.emplace_back();
        ::QXPCursor::Spread<::QXPCursor::Box<NullType>> spread(spreadBox, index);
        auto it = spread.Begin();
        auto end = spread.End();
        for (; *it != *end; ++*it)
        {
            const XTBoxRef box = (*it)->BoxRef();
            mSpreads.back().push_back(box);
            const QString defaultName = XT::ToQString(XT::gBox->GetBoxDefaultName(box));
            if (defaultName.isEmpty())
            {
                mNumbered.insert_or_assign(XT::gBox->GetBoxNumber(box, 0), read(box));
                continue;
            }
            BoxPairing::Signature signature;
            signature.mKind = XT::gBox->GetBoxContentType(box);
            signature.mShape = defaultName;
            while (!signature.mShape.isEmpty() && signature.mShape.back().isDigit())
                signature.mShape.chop(1);
            signature.mSpread = int(mSpreads.size()) - 1;
            XT::gBox->GetBoxBounds(box, 0, 0, &signature.mBounds);
            if (XT::gBox->IsTextBox(box))
            {
                int32_t start = 0, end = 0;
                if (XTTextRef text = XT::gText->GetTextSelection(box, &start, &end))
                    signature.mContent = ::Story(text).UnmaskedText();
            }
            else if (XT::gBox->IsPictureBox(box))
                signature.mContent = XT::ToQString(XT::gPicture->GetPictureReference(XT::gPicture->GetBoxPicture(box)));
            mSignatures.push_back(std::move(signature));
            mUnnumbered.push_back(read(box));
        }
    }
};

// Fills each box's Stacking row: the box just below it among the boxes that
// keep their order relative to each other on both sides of its spread, so
// that one box moved in the stack (or deleted) is one difference, not a
// change for every box above it.
void SetStacking(const std::vector<ProjectTreeNode<::Box>*>& pairs, const std::vector<std::vector<XTBoxRef>>& left,
                 const std::vector<std::vector<XTBoxRef>>& right)
{
    std::unordered_map<XTBoxRef, int> leftPair, rightPair;
    for (size_t p = 0; p < pairs.size(); ++p)
    {
        if (pairs[p]->mLeft.IsValid())
            leftPair[pairs[p]->mLeft.BoxRef()] = int(p);
        if (pairs[p]->mRight.IsValid())
            rightPair[pairs[p]->mRight.BoxRef()] = int(p);
    }
    const QString bottom = PluginString(112);
    const QString above = PluginString(111);
    auto label = [&](int pair)
    {
        const ProjectTreeNode<::Box>& node = *pairs[size_t(pair)];
        return above.arg(node.mLeft.IsValid() ? node.mLeft.Name() : node.mRight.Name());
    };
    const size_t spreads = std::max(left.size(), right.size());
    for (size_t s = 0; s < spreads; ++s)
    {
        static const std::vector<XTBoxRef> sNone;
        const std::vector<XTBoxRef>& l = s < left.size() ? left[s] : sNone;
        const std::vector<XTBoxRef>& r = s < right.size() ? right[s] : sNone;
        // The pairs with both boxes on this spread, in each side's order.
        std::set<int> onBoth;
        {
            std::set<int> onLeft;
            for (XTBoxRef box : l)
                onLeft.insert(leftPair.at(box));
            for (XTBoxRef box : r)
                if (onLeft.count(rightPair.at(box)))
                    onBoth.insert(rightPair.at(box));
        }
        std::vector<int> leftOrder, rightOrder;
        for (XTBoxRef box : l)
            if (onBoth.count(leftPair.at(box)))
                leftOrder.push_back(leftPair.at(box));
        for (XTBoxRef box : r)
            if (onBoth.count(rightPair.at(box)))
                rightOrder.push_back(rightPair.at(box));
        const auto steady = BoxPairing::Steady(leftOrder, rightOrder);
        std::set<int> steadyPairs;
        for (size_t i = 0; i < leftOrder.size(); ++i)
            if (steady.first[i])
                steadyPairs.insert(leftOrder[i]);
        auto fill = [&](const std::vector<XTBoxRef>& order, const std::unordered_map<XTBoxRef, int>& pairOf,
                        bool leftSide)
        {
            int below = -1;
            for (XTBoxRef box : order)
            {
                const int pair = pairOf.at(box);
                ProjectTreeNode<::Box>& node = *pairs[size_t(pair)];
                ::Box& self = leftSide ? node.mLeft : node.mRight;
                const int16_t spread = int16_t(s + 1);
                if (below < 0)
                    self.SetPlace(spread, bottom, XT::kNoBox, XT::kNoBox);
                else
                {
                    const ProjectTreeNode<::Box>& under = *pairs[size_t(below)];
                    self.SetPlace(spread, label(below), leftSide ? under.mLeft.BoxRef() : under.mRight.BoxRef(),
                                  leftSide ? under.mRight.BoxRef() : under.mLeft.BoxRef());
                }
                if (steadyPairs.count(pair))
                    below = pair;
            }
        };
        fill(l, leftPair, true);
        fill(r, rightPair, false);
    }
}

// Stories pair by number, but for those whose number follows a first box
// that the file numbers by its place: they pair as their first boxes did.
void AddStories(ProjectTreeNodeBase& folder, XTProjectId lhs, XTProjectId rhs,
                const std::unordered_map<XTBoxRef, XTBoxRef>& counterparts)
{
    struct Side
    {
        std::map<long, ::Story> mNumbered;
        std::vector<std::pair<XTBoxRef, ::Story>> mByBox;
    };
    auto collect = [](XTProjectId project, Side& side)
    {
        ::QXPCursor::Project<::QXPCursor::Story<NullType>> stories(project);
        for (auto it = stories.Begin(), end = stories.End(); *it != *end; ++*it)
        {
            ::Story story((*it)->Text());
            long first = XT::kNoBox;
            story.GetUsage(&first);
            if (first != XT::kNoBox && !XT::ToQString(XT::gBox->GetBoxDefaultName(XTBoxRef(first))).isEmpty())
                side.mByBox.emplace_back(XTBoxRef(first), std::move(story));
            else
                side.mNumbered.insert_or_assign(XT::gText->GetStoryNumber((*it)->Text()), std::move(story));
        }
    };
    Side left, right;
    collect(lhs, left);
    collect(rhs, right);
    KeyedMerge(left.mNumbered, right.mNumbered,
               [&](const ::Story* a, const ::Story* b)
               { AddPair(folder, a ? *a : ::Story(long(lhs)), b ? *b : ::Story(long(rhs))); });
    std::unordered_map<XTBoxRef, size_t> rightByBox;
    for (size_t i = 0; i < right.mByBox.size(); ++i)
        rightByBox[right.mByBox[i].first] = i;
    std::vector<bool> rightTaken(right.mByBox.size(), false);
    for (auto& entry : left.mByBox)
    {
        auto counterpart = counterparts.find(entry.first);
        auto found = counterpart == counterparts.end() ? rightByBox.end() : rightByBox.find(counterpart->second);
        if (found != rightByBox.end() && !rightTaken[found->second])
        {
            rightTaken[found->second] = true;
            AddPair(folder, entry.second, right.mByBox[found->second].second);
        }
        else
            AddPair(folder, entry.second, ::Story(long(rhs)));
    }
    for (size_t i = 0; i < right.mByBox.size(); ++i)
        if (!rightTaken[i])
            AddPair(folder, ::Story(long(lhs)), right.mByBox[i].second);
}

} // namespace

void ForEachBoxPair(ProjectTreeNodeBase& root, const std::function<void(ProjectTreeNode<::Box>&)>& use)
{
    for (int i = 0; i < root.ChildCount(); ++i)
    {
        ProjectTreeNodeBase& child = *root.Child(i);
        if (auto* pair = dynamic_cast<ProjectTreeNode<::Box>*>(&child))
            use(*pair);
        else
            ForEachBoxPair(child, use);
    }
}

void MemoBoxes(ProjectTreeNodeBase& root, BoxMemo& memo)
{
    ForEachBoxPair(root,
                   [&memo](ProjectTreeNode<::Box>& pair)
                   {
                       for (const ::Box* side : {&pair.mLeft, &pair.mRight})
                           if (side->IsValid())
                               memo.emplace(side->BoxRef(), side);
                   });
}

std::unique_ptr<ProjectTreeNodeBase> MakePairs(XTProjectId lhs, XTProjectId rhs, const BoxMemo* memo)
{
    // Most measures repeat from box to box: one text each for the whole build.
    const XT::FixedTextMemo measures;
    auto pairs = std::make_unique<ProjectTreeNode<::Project>>(::Project(lhs), ::Project(rhs), Identical);
    NodeCreationVisitor(memo).Create(*pairs);
    return pairs;
}

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

    AddStories(*AddFolder(node, kStoriesFolder), lhs, rhs, mCounterparts);

    PlaceholderNode* assets = AddFolder(node, kAssetsFolder);
    AddEveryKind(*assets, lhs, rhs, std::make_index_sequence<kAssetKinds>());
}

void NodeCreationVisitor::Visit(ProjectTreeNode<::Layout>& node) const
{
    const XTProjectId lhs = node.mLeft.ProjectId();
    const XTProjectId rhs = node.mRight.ProjectId();
    LayoutBoxes left, right;

    // Spreads pair by position; the boxes of every spread collect into one
    // list per side, so a box pairs with itself whatever spread it moved to.
    ::QXPCursor::Layout<::QXPCursor::Spread<NullType>> leftSpreads(node.mLeft.Doc(), -1),
        rightSpreads(node.mRight.Doc(), -1);
    auto l = leftSpreads.Begin(), lEnd = leftSpreads.End();
    auto r = rightSpreads.Begin(), rEnd = rightSpreads.End();
    while (*l != *lEnd || *r != *rEnd)
    {
        const bool hasLeft = *l != *lEnd;
        const bool hasRight = *r != *rEnd;
        auto* pair = AddPair(node, ::Spread(hasLeft ? (*l)->SpreadBox() : XT::kNoBox, (*l)->Index(), lhs),
                             ::Spread(hasRight ? (*r)->SpreadBox() : XT::kNoBox, (*r)->Index(), rhs));
        Visit(*pair);
        if (hasLeft)
            left.Collect((*l)->SpreadBox(), (*l)->Index(), lhs, mMemo);
        if (hasRight)
            right.Collect((*r)->SpreadBox(), (*r)->Index(), rhs, mMemo);
        if (hasLeft)
            ++*l;
        if (hasRight)
            ++*r;
    }

    PlaceholderNode* boxes = AddFolder(node, kBoxesFolder);
    const ::Box leftNone(XT::kNoBox, lhs);
    const ::Box rightNone(XT::kNoBox, rhs);
    std::vector<ProjectTreeNode<::Box>*> pairs;
    auto add = [&](::Box* a, ::Box* b)
    {
        auto* pair = AddPair(*boxes, Take(a, leftNone), Take(b, rightNone));
        Visit(*pair);
        pairs.push_back(pair);
    };
    // Boxes whose files keep their numbers pair by number; the boxes move
    // from the maps into the tree.
    KeyedMerge(left.mNumbered, right.mNumbered,
               [&](::Box* a, ::Box* b)
               {
                   if (a && b &&
                       XT::gBox->GetBoxContentType(a->BoxRef()) != XT::gBox->GetBoxContentType(b->BoxRef()))
                   {
                       // A number that changed kind is two different boxes;
                       // copying either replaces the other.
                       add(a, nullptr);
                       add(nullptr, b);
                       return;
                   }
                   add(a, b);
               });
    // The others by what they are, in their documents' order.
    for (const auto& match : BoxPairing::Align(left.mSignatures, right.mSignatures))
    {
        ::Box* a = match.first >= 0 ? &left.mUnnumbered[size_t(match.first)] : nullptr;
        ::Box* b = match.second >= 0 ? &right.mUnnumbered[size_t(match.second)] : nullptr;
        if (a && b)
            mCounterparts[a->BoxRef()] = b->BoxRef();
        add(a, b);
    }
    SetStacking(pairs, left.mSpreads, right.mSpreads);
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

