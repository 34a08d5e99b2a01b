// Structural edits of open projects: copying boxes, spreads and layouts from
// one project into another, and removing them. Each edit changes the model
// and the references handed out for it together (see HostState.h).

#include "Model/BuiltInColors.h"
#include "HostState.h"

#include "Format/ProjectFormat.h"

#include <algorithm>

namespace XTHost
{

namespace
{

// `wanted` where no number of `used` is it, else one above every one.
int32_t freeNumber(int32_t wanted, const std::vector<int32_t>& used)
{
    if (std::find(used.begin(), used.end(), wanted) == used.end())
        return wanted;
    return used.empty() ? 1 : *std::max_element(used.begin(), used.end()) + 1;
}

// The highest box number of a layout, and whether `number` is among its
// numbers: one walk, nothing collected (it runs for every box copied).
int32_t highestBoxNumber(const Layout& layout, int32_t number, bool* used)
{
    int32_t highest = 0;
    for (const Spread& spread : layout.mSpreads)
        for (const Box& box : spread.mBoxes)
        {
            highest = std::max(highest, box.mNumber);
            *used = *used || box.mNumber == number;
        }
    return highest;
}

int storyIndex(const Project& project, int32_t number)
{
    for (size_t i = 0; i < project.mStories.size(); ++i)
        if (project.mStories[i].mNumber == number)
            return int(i);
    return -1;
}

// A colour a box names must be a colour of its project: the copy brings the
// source's colour along when the destination lacks it.
void bringAsset(const OpenProject& from, OpenProject& to, int32_t kind, const QString& name)
{
    if (name.isEmpty() || (kind == XT::kColorAssetKind && builtInColorIndex(name) >= 0) ||
        to.mModel.findAsset(kind, name))
        return;
    const Asset* asset = from.mModel.findAsset(kind, name);
    if (!asset || (to.mFormat && !to.mFormat->cannotHold(*asset).isEmpty()))
        return;
    to.mModel.mAssets[size_t(kind - 1)].push_back(*asset);
    to.mAssetUids[size_t(kind - 1)].push_back(to.mNextUid[size_t(kind - 1)]++);
}

void bringColor(const OpenProject& from, OpenProject& to, const QString& name)
{
    bringAsset(from, to, XT::kColorAssetKind, name);
}

} // namespace

void HostState::bringStyles(const OpenProject& from, OpenProject& to, const XT::FormatRuns& runs,
                            const XT::TextAttributes& trail)
{
    if (&from == &to)
        return;
    // The kinds of asset a formatting attribute names.
    static const std::pair<const char*, int32_t> named[] = {
        {"paragraphStyle", 1}, {"characterStyle", 2}, {"colour", XT::kColorAssetKind}, {"paragraphColour", XT::kColorAssetKind},
        {"paragraphCharacterStyle", 2}};
    auto bring = [&](const XT::TextAttributes& attributes)
    {
        for (const auto& [attribute, kind] : named)
            bringAsset(from, to, kind, XT::AttributeValue(attributes, QLatin1String(attribute)));
    };
    for (const XT::FormatRun& run : runs)
        bring(run.mAttributes);
    bring(trail);
}

namespace
{

// Why `to`'s file format cannot hold these boxes of `from` (a name, or the
// colour that would come with one), or empty.
QString cannotCopy(const OpenProject& from, const OpenProject& to, const std::vector<const Box*>& boxes)
{
    if (!to.mFormat)
        return QString();
    for (const Box* box : boxes)
    {
        QString reason = to.mFormat->cannotHold(*box);
        if (reason.isEmpty() && !box->mColor.isEmpty() && !to.mModel.findAsset(XT::kColorAssetKind, box->mColor))
            if (const Asset* color = from.mModel.findAsset(XT::kColorAssetKind, box->mColor))
                reason = to.mFormat->cannotHold(*color);
        if (!reason.isEmpty())
            return reason;
    }
    return QString();
}

} // namespace

XTBoxRef HostState::boxNumbered(OpenProject& project, int32_t layoutNumber, int32_t boxNumber) const
{
    for (size_t l = 0; l < project.mModel.mLayouts.size(); ++l)
    {
        const Layout& layout = project.mModel.mLayouts[l];
        if (layout.mNumber != layoutNumber)
            continue;
        for (size_t s = 0; s < layout.mSpreads.size(); ++s)
            for (size_t b = 0; b < layout.mSpreads[s].mBoxes.size(); ++b)
                if (layout.mSpreads[s].mBoxes[b].mNumber == boxNumber)
                    return project.mLayoutRefs[l].mSpreads[s].mBoxes[b];
    }
    return XT::kNoBox;
}

void HostState::unlinkBox(OpenProject& project, XTBoxRef box)
{
    auto it = project.mBoxStories.find(box);
    if (it == project.mBoxStories.end())
        return;
    const int story = it->second;
    project.mBoxStories.erase(it);
    std::vector<XTBoxRef>& boxes = project.mStoryBoxes[size_t(story)];
    const auto at = std::find(boxes.begin(), boxes.end(), box);
    if (at != boxes.end())
    {
        std::vector<BoxLink>& links = project.mModel.mStories[size_t(story)].mBoxes;
        const size_t position = size_t(at - boxes.begin());
        if (position < links.size())
            links.erase(links.begin() + long(position));
        boxes.erase(at);
    }
}

void HostState::linkStory(OpenProject& to, int story, const std::vector<BoxLink>& chain)
{
    // Leave the story's own boxes first, so that the chain is built anew in
    // the source's order.
    const std::vector<XTBoxRef> old = to.mStoryBoxes[size_t(story)];
    for (XTBoxRef box : old)
        to.mBoxStories.erase(box);
    to.mStoryBoxes[size_t(story)].clear();
    to.mModel.mStories[size_t(story)].mBoxes.clear();
    const int32_t number = to.mModel.mStories[size_t(story)].mNumber;

    std::vector<std::pair<BoxLink, XTBoxRef>> found;
    for (const BoxLink& link : chain)
    {
        const XTBoxRef box = boxNumbered(to, link.mLayout, link.mBox);
        if (box == XT::kNoBox)
            continue;
        const BoxLocation& location = mBoxes.at(box);
        if (!location.box()->isText())
            continue;
        found.emplace_back(link, box);
    }
    for (const auto& entry : found)
    {
        // The box leaves the story it showed; that story may go with it.
        auto previous = to.mBoxStories.find(entry.second);
        if (previous != to.mBoxStories.end())
            unlinkBox(to, entry.second);
    }
    // Unlinking may have removed stories before this one.
    story = storyIndex(to.mModel, number);
    for (const auto& entry : found)
    {
        to.mModel.mStories[size_t(story)].mBoxes.push_back(entry.first);
        to.mStoryBoxes[size_t(story)].push_back(entry.second);
        to.mBoxStories[entry.second] = story;
    }
    to.mModified = true;
}

XTBoxRef HostState::copyBox(const BoxLocation& from, OpenProject& to, int layoutIndex, int spreadIndex)
{
    // Copy what is needed first: appending below may move the source.
    Box copy = *from.box();
    OpenProject& fromProject = *from.mProject;
    mRefusal = cannotCopy(fromProject, to, {&copy});
    if (!mRefusal.isEmpty())
        return XT::kNoBox;
    const XTBoxRef sourceRef = fromProject.mLayoutRefs[size_t(from.mLayout)]
                                   .mSpreads[size_t(from.mSpread)]
                                   .mBoxes[size_t(from.mBox)];
    const Layout& sourceLayout = from.layout();
    const int32_t sourceLayoutNumber = sourceLayout.mNumber;
    const int32_t sourceNumber = copy.mNumber;
    auto storyIt = fromProject.mBoxStories.find(sourceRef);
    const bool hasStory = storyIt != fromProject.mBoxStories.end();
    const Story story = hasStory ? fromProject.mModel.mStories[size_t(storyIt->second)] : Story();

    Layout& layout = to.mModel.mLayouts[size_t(layoutIndex)];
    // The box keeps its number where the layout has no box of it; else it
    // takes one above every number of both layouts.
    bool taken = false;
    const int32_t highest = highestBoxNumber(layout, copy.mNumber, &taken);
    if (taken)
        copy.mNumber = std::max(highest, highestBoxNumber(sourceLayout, copy.mNumber, &taken)) + 1;
    bringColor(fromProject, to, copy.mColor);
    layout.mSpreads[size_t(spreadIndex)].mBoxes.push_back(copy);
    const XTBoxRef newBox = registerBox(to, layoutIndex, spreadIndex);
    to.mModified = true;
    if (!hasStory)
        return newBox;

    // The chain as it will read here: the source's, with this box under the
    // number it got.
    std::vector<BoxLink> chain = story.mBoxes;
    const bool kept = copy.mNumber == sourceNumber && layout.mNumber == sourceLayoutNumber;
    if (!kept)
        chain = {{layout.mNumber, copy.mNumber}};
    int index = kept ? storyIndex(to.mModel, story.mNumber) : -1;
    if (index < 0)
    {
        std::vector<int32_t> storyNumbers;
        for (const Story& s : to.mModel.mStories)
            storyNumbers.push_back(s.mNumber);
        Story created = story;
        if (std::find(storyNumbers.begin(), storyNumbers.end(), created.mNumber) != storyNumbers.end())
            for (const Story& s : fromProject.mModel.mStories)
                storyNumbers.push_back(s.mNumber);
        created.mNumber = freeNumber(created.mNumber, storyNumbers);
        created.mBoxes.clear();
        bringStyles(fromProject, to, created.mFormats, created.mTrail);
        to.mModel.mStories.push_back(std::move(created));
        registerStory(to);
        index = int(to.mModel.mStories.size()) - 1;
    }
    linkStory(to, index, chain);
    return newBox;
}

XTBoxRef HostState::copySpread(OpenProject& from, int layout, int spread, OpenProject& to, int toLayout,
                               int at)
{
    const Spread source = from.mModel.mLayouts[size_t(layout)].mSpreads[size_t(spread)];
    const std::vector<XTBoxRef> sourceBoxes =
        from.mLayoutRefs[size_t(layout)].mSpreads[size_t(spread)].mBoxes;
    std::vector<const Box*> boxes;
    for (const Box& box : source.mBoxes)
        boxes.push_back(&box);
    mRefusal = cannotCopy(from, to, boxes);
    if (!mRefusal.isEmpty())
        return XT::kNoBox;
    std::vector<Spread>& spreads = to.mModel.mLayouts[size_t(toLayout)].mSpreads;
    at = std::clamp(at, 0, int(spreads.size()));

    Spread empty = source;
    empty.mBoxes.clear();
    spreads.insert(spreads.begin() + at, std::move(empty));
    std::vector<OpenProject::SpreadRefs>& refs = to.mLayoutRefs[size_t(toLayout)].mSpreads;
    refs.insert(refs.begin() + at, OpenProject::SpreadRefs());
    refs[size_t(at)].mSpreadBox = mNextBox++;
    renumberSpreadRefs(to, toLayout, at);
    to.mModified = true;

    for (XTBoxRef box : sourceBoxes)
    {
        const BoxLocation location = mBoxes.at(box);
        copyBox(location, to, toLayout, at);
    }
    return refs[size_t(at)].mSpreadBox;
}

DocRef HostState::copyLayout(OpenProject& from, int layoutIndex, OpenProject& to)
{
    const Layout& source = from.mModel.mLayouts[size_t(layoutIndex)];
    if (to.mModel.findLayout(source.mNumber))
        return XT::kNoDoc;
    std::vector<const Box*> boxes;
    for (const Spread& spread : source.mSpreads)
        for (const Box& box : spread.mBoxes)
            boxes.push_back(&box);
    mRefusal = cannotCopy(from, to, boxes);
    if (!mRefusal.isEmpty())
        return XT::kNoDoc;
    Layout empty = source;
    empty.mSpreads.clear();
    std::vector<Layout>& layouts = to.mModel.mLayouts;
    const auto place = std::find_if(layouts.begin(), layouts.end(),
                                    [&](const Layout& l) { return l.mNumber > source.mNumber; });
    const int at = int(place - layouts.begin());
    layouts.insert(place, std::move(empty));
    to.mLayoutRefs.insert(to.mLayoutRefs.begin() + at, OpenProject::LayoutRefs());
    OpenProject::LayoutRefs& refs = to.mLayoutRefs[size_t(at)];
    refs.mDoc = mNextDoc++;
    do
        mNextDocNumber = mNextDocNumber >= 32767 ? 1 : mNextDocNumber + 1;
    while (mDocNumbers.count(XTDocNumber(mNextDocNumber)));
    refs.mNumber = XTDocNumber(mNextDocNumber);
    mDocNumbers[refs.mNumber] = refs.mDoc;
    const DocRef doc = refs.mDoc;
    renumberLayoutRefs(to, at);
    to.mModified = true;

    const size_t spreads = from.mModel.mLayouts[size_t(layoutIndex)].mSpreads.size();
    for (size_t s = 0; s < spreads; ++s)
        copySpread(from, layoutIndex, int(s), to, at, int(s));
    return doc;
}

void HostState::forgetBox(XTBoxRef box)
{
    mBoxes.erase(box);
    auto picture = mPictures.find(box);
    if (picture != mPictures.end())
    {
        mPictureTokens.remove(picture->second);
        mPictures.erase(picture);
    }
    if (mCurrentBox == box)
        mCurrentBox = XT::kNoBox;
}

bool HostState::removeBox(XTBoxRef box)
{
    auto it = mBoxes.find(box);
    if (it == mBoxes.end() || it->second.isSpreadBox())
        return false;
    const BoxLocation location = it->second;
    OpenProject& project = *location.mProject;
    unlinkBox(project, box);

    std::vector<Box>& boxes = location.spread().mBoxes;
    boxes.erase(boxes.begin() + location.mBox);
    std::vector<XTBoxRef>& refs = location.layoutRefs().mSpreads[size_t(location.mSpread)].mBoxes;
    refs.erase(refs.begin() + location.mBox);
    for (size_t b = size_t(location.mBox); b < refs.size(); ++b)
        mBoxes[refs[b]].mBox = int(b);
    forgetBox(box);
    project.mModified = true;
    return true;
}

bool HostState::restackBox(XTBoxRef box, XTBoxRef below)
{
    auto it = mBoxes.find(box);
    if (it == mBoxes.end() || it->second.isSpreadBox() || box == below)
        return false;
    const BoxLocation location = it->second;
    int at = 0;
    if (below != XT::kNoBox)
    {
        auto under = mBoxes.find(below);
        if (under == mBoxes.end() || under->second.isSpreadBox() || under->second.mProject != location.mProject ||
            under->second.mLayout != location.mLayout || under->second.mSpread != location.mSpread)
            return false;
        at = under->second.mBox + (under->second.mBox < location.mBox ? 1 : 0);
    }
    if (at == location.mBox)
        return true;
    std::vector<Box>& boxes = location.spread().mBoxes;
    std::vector<XTBoxRef>& refs = location.layoutRefs().mSpreads[size_t(location.mSpread)].mBoxes;
    Box moved = std::move(boxes[size_t(location.mBox)]);
    boxes.erase(boxes.begin() + location.mBox);
    boxes.insert(boxes.begin() + at, std::move(moved));
    refs.erase(refs.begin() + location.mBox);
    refs.insert(refs.begin() + at, box);
    for (size_t b = 0; b < refs.size(); ++b)
        mBoxes[refs[b]].mBox = int(b);
    location.mProject->mModified = true;
    return true;
}

bool HostState::moveBoxToSpread(XTBoxRef box, XTBoxRef spreadBox)
{
    auto it = mBoxes.find(box);
    auto target = mBoxes.find(spreadBox);
    if (it == mBoxes.end() || it->second.isSpreadBox() || target == mBoxes.end() ||
        !target->second.isSpreadBox() || target->second.mProject != it->second.mProject ||
        target->second.mLayout != it->second.mLayout)
        return false;
    const BoxLocation from = it->second;
    const int to = target->second.mSpread;
    if (to == from.mSpread)
        return true;
    Layout& layout = from.layout();
    OpenProject::LayoutRefs& refs = from.layoutRefs();
    Box moved = std::move(layout.mSpreads[size_t(from.mSpread)].mBoxes[size_t(from.mBox)]);
    std::vector<Box>& boxes = layout.mSpreads[size_t(from.mSpread)].mBoxes;
    boxes.erase(boxes.begin() + from.mBox);
    std::vector<XTBoxRef>& fromRefs = refs.mSpreads[size_t(from.mSpread)].mBoxes;
    fromRefs.erase(fromRefs.begin() + from.mBox);
    for (size_t b = size_t(from.mBox); b < fromRefs.size(); ++b)
        mBoxes[fromRefs[b]].mBox = int(b);
    layout.mSpreads[size_t(to)].mBoxes.push_back(std::move(moved));
    refs.mSpreads[size_t(to)].mBoxes.push_back(box);
    mBoxes[box] = {from.mProject, from.mLayout, to, int(refs.mSpreads[size_t(to)].mBoxes.size()) - 1};
    from.mProject->mModified = true;
    return true;
}

bool HostState::removeSpread(XTBoxRef spreadBox)
{
    auto it = mBoxes.find(spreadBox);
    if (it == mBoxes.end() || !it->second.isSpreadBox())
        return false;
    const BoxLocation location = it->second;
    OpenProject& project = *location.mProject;
    const std::vector<XTBoxRef> boxes = location.layoutRefs().mSpreads[size_t(location.mSpread)].mBoxes;
    for (auto box = boxes.rbegin(); box != boxes.rend(); ++box)
        removeBox(*box);

    std::vector<Spread>& spreads = location.layout().mSpreads;
    spreads.erase(spreads.begin() + location.mSpread);
    std::vector<OpenProject::SpreadRefs>& refs = location.layoutRefs().mSpreads;
    refs.erase(refs.begin() + location.mSpread);
    forgetBox(spreadBox);
    renumberSpreadRefs(project, location.mLayout, location.mSpread);
    project.mModified = true;
    return true;
}

bool HostState::removeLayout(DocRef doc)
{
    OpenProject* project = nullptr;
    int layout = 0;
    if (!findDoc(doc, &project, &layout))
        return false;
    const std::vector<OpenProject::SpreadRefs> spreads = project->mLayoutRefs[size_t(layout)].mSpreads;
    for (auto spread = spreads.rbegin(); spread != spreads.rend(); ++spread)
        removeSpread(spread->mSpreadBox);

    mDocs.erase(doc);
    mDocNumbers.erase(project->mLayoutRefs[size_t(layout)].mNumber);
    project->mModel.mLayouts.erase(project->mModel.mLayouts.begin() + layout);
    project->mLayoutRefs.erase(project->mLayoutRefs.begin() + layout);
    renumberLayoutRefs(*project, layout);
    project->mModified = true;
    return true;
}

void HostState::removeStory(OpenProject& project, int story)
{
    for (XTBoxRef box : project.mStoryBoxes[size_t(story)])
        project.mBoxStories.erase(box);
    mTexts.erase(project.mStoryTexts[size_t(story)]);
    project.mModel.mStories.erase(project.mModel.mStories.begin() + story);
    project.mStoryTexts.erase(project.mStoryTexts.begin() + story);
    project.mSelections.erase(project.mSelections.begin() + story);
    project.mStoryBoxes.erase(project.mStoryBoxes.begin() + story);
    for (size_t s = size_t(story); s < project.mStoryTexts.size(); ++s)
        mTexts[project.mStoryTexts[s]].mStory = int(s);
    for (auto& entry : project.mBoxStories)
        if (entry.second > story)
            --entry.second;
    project.mModified = true;
}

// Points the references of spreads `fromSpread`... of a layout, and of their
// boxes, at those spreads' current positions.
void HostState::renumberSpreadRefs(OpenProject& project, int layout, int fromSpread)
{
    std::vector<OpenProject::SpreadRefs>& spreads = project.mLayoutRefs[size_t(layout)].mSpreads;
    for (size_t s = size_t(fromSpread); s < spreads.size(); ++s)
    {
        mBoxes[spreads[s].mSpreadBox] = {&project, layout, int(s), -1};
        for (size_t b = 0; b < spreads[s].mBoxes.size(); ++b)
            mBoxes[spreads[s].mBoxes[b]] = {&project, layout, int(s), int(b)};
    }
}

void HostState::renumberLayoutRefs(OpenProject& project, int fromLayout)
{
    for (size_t l = size_t(fromLayout); l < project.mLayoutRefs.size(); ++l)
    {
        mDocs[project.mLayoutRefs[l].mDoc] = {&project, int(l)};
        renumberSpreadRefs(project, int(l), 0);
    }
}

} // namespace XTHost
