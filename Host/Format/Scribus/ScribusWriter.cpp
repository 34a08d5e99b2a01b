// Writing the host's model into the Scribus document it was read from: an
// edit changes only what it touches. Boxes the document did not have are
// written from the element they were copied from (another Scribus document
// of the same format generation), else from the model alone.

#include "ScribusWriter.h"

#include "ScribusElements.h"
#include "ScribusFormatting.h"
#include "StoryText.h"
#include "XmlEditor.h"

#include "Model/BoxProperties.h"
#include "Model/BuiltInColors.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace XTHost
{

namespace
{

using namespace ScribusElements;

QString quoted(const QString& name)
{
    return printable(name);
}

// Documents of one generation share their object and text elements: 1.2,
// 1.3 and 1.4, 1.5. An element is copied only within one.
int generationOf(const ScribusDocument& document)
{
    return document.isOldFormat() ? 1 : document.version() >= 105 ? 3 : 2;
}

const ScribusDocument* scribusSource(const Origin& origin)
{
    return dynamic_cast<const ScribusDocument*>(origin.mDocument.get());
}

// The page counts of a layout's spreads.
std::vector<int> pageShape(const Layout& layout)
{
    std::vector<int> shape;
    for (const Spread& spread : layout.mSpreads)
        shape.push_back(spread.mPages.size());
    return shape;
}

std::map<int32_t, int> spreadsOfBoxes(const Layout& layout)
{
    std::map<int32_t, int> spreads;
    for (size_t s = 0; s < layout.mSpreads.size(); ++s)
        for (const Box& box : layout.mSpreads[s].mBoxes)
            spreads[box.mNumber] = int(s);
    return spreads;
}

// The spread of each object of the document as read, by box number.
std::map<int32_t, int> spreadsAsRead(const ScribusDocument& document)
{
    std::map<int32_t, int> spreads;
    for (const ScribusDocument::Object& object : document.objects())
        if (object.mSpread >= 0)
            spreads[object.mNumber] = object.mSpread;
    return spreads;
}

// Why the pages of `layout` cannot be written into the document, or empty:
// spreads may be added at the end or removed from it, as long as the
// document's facing-pages setting groups the pages into those spreads again
// and every box it had stays on its spread.
QString pagesProblem(const ScribusDocument& document, const Layout& layout)
{
    const Layout& before = document.layoutAsRead();
    const std::vector<int> now = pageShape(layout), was = pageShape(before);
    if (now == was)
        return QString();
    const QString changed = QStringLiteral("it has %1 pages in %2 spreads where it was read with %3 in %4, and ")
                                .arg(layout.pageCount())
                                .arg(layout.mSpreads.size())
                                .arg(before.pageCount())
                                .arg(before.mSpreads.size());
    if (document.isOldFormat())
        return changed + QStringLiteral("pages added or removed are not written in a format 1.2 document");
    if (document.pages().empty())
        return changed + QStringLiteral("pages are not added to a document that has none to model them on");
    const QString notAtEnd = changed + QStringLiteral("only spreads added at the end or removed from it are written");
    if (!std::equal(now.begin(), now.begin() + std::min(now.size(), was.size()), was.begin()))
        return notAtEnd;
    std::vector<int> grouped;
    for (int left = layout.pageCount(); left > 0;)
    {
        const int count =
            std::min(left, grouped.empty() ? document.columns() - document.firstColumn() : document.columns());
        grouped.push_back(count);
        left -= count;
    }
    if (grouped != now)
        return changed +
               QStringLiteral("the document's facing-pages setting (%1 pages a spread) would group the pages otherwise")
                   .arg(document.columns());
    const std::map<int32_t, int> spreadsNow = spreadsOfBoxes(layout);
    for (const auto& entry : spreadsAsRead(document))
    {
        auto found = spreadsNow.find(entry.first);
        if (found != spreadsNow.end() && found->second != entry.second &&
            (found->second >= int(was.size()) || entry.second >= int(now.size())))
            return notAtEnd;
    }
    return QString();
}

class Writer
{
public:
    Writer(const ScribusDocument& document, const Project& project)
        : mDoc(document), mXml(document.xml()), mEdit(mXml), mProject(project),
          mLayout(project.mLayouts.empty() ? nullptr : &project.mLayouts.front())
    {
    }

    QByteArray write()
    {
        if (mLayout)
        {
            writeTitle();
            writePages();
            placeBoxes();
            restack();
            finalOrder();
            writeStories();
            relinkByPosition();
        }
        else
            for (const ScribusDocument::Object& object : mDoc.objects())
                if (object.mTopLevel)
                    mEdit.remove(object.mElement);
        // The new elements first: the colours and styles they name come
        // with them, among the assets.
        std::vector<QByteArray> created;
        for (Created& made : mCreated)
            created.push_back(createdXml(made));
        writeAssets();
        insertCreated(created);
        return mEdit.write();
    }

private:
    // A box the document gets a new element for.
    struct Created
    {
        const Box* mBox = nullptr;
        int mPage = 0;
        double mX = 0, mY = 0;
        const ScribusDocument* mSource = nullptr; // copied from this document's element...
        uint32_t mSourceElement = XmlIndex::sNone;
        std::vector<std::pair<QByteArray, QString>> mSet; // ...with these attributes set
        bool mHasText = false;
        std::vector<QByteArray> mText; // the frame's text elements
        uint32_t mTrailSource = XmlIndex::sNone;
        XT::TextAttributes mTrailFormat;
        const ScribusDocument* mTrailDocument = nullptr;
        QString mItemId;
        int mPosition = -1; // among the items, in the order links by position count them
    };

    void writeTitle()
    {
        if (mLayout->mName != mDoc.layoutAsRead().mName)
            mEdit.setAttribute(mDoc.documentElement(), "TITLE", mLayout->mName);
    }

    // Adds the pages of spreads added at the end of the layout (each a copy
    // of the last page in its column, one spread's step further down) or
    // drops those of spreads removed from the end.
    void writePages()
    {
        mPages = mDoc.pages();
        const Layout& before = mDoc.layoutAsRead();
        const int oldCount = int(mPages.size());
        const int newCount = mLayout->pageCount();
        if (newCount == oldCount || !pagesProblem(mDoc, *mLayout).isEmpty() || mPages.empty())
            return;
        const uint32_t document = mDoc.documentElement();
        if (newCount < oldCount)
        {
            for (int p = newCount; p < oldCount; ++p)
                mEdit.remove(mPages[size_t(p)].mElement);
            mPages.resize(size_t(newCount));
        }
        else
        {
            std::vector<int> columns;
            std::vector<double> tops;
            for (size_t s = 0, p = 0; s < before.mSpreads.size(); ++s)
            {
                double top = 0;
                for (int j = 0; j < before.mSpreads[s].mPages.size() && p < mPages.size(); ++j, ++p)
                {
                    columns.push_back(s == 0 ? mDoc.firstColumn() + j : j);
                    top = j == 0 ? mPages[p].mY : std::min(top, mPages[p].mY);
                }
                tops.push_back(top);
            }
            const double step =
                tops.size() >= 2 ? tops.back() - tops[tops.size() - 2] : mPages.back().mHeight + 40;
            const uint32_t last = mPages.back().mElement;
            for (size_t s = before.mSpreads.size(); s < mLayout->mSpreads.size(); ++s)
                for (int j = 0; j < mLayout->mSpreads[s].mPages.size(); ++j)
                {
                    const int column = s == 0 ? mDoc.firstColumn() + j : j;
                    int reference = oldCount - 1;
                    for (int p = oldCount - 1; p >= 0; --p)
                        if (columns[size_t(p)] == column)
                        {
                            reference = p;
                            break;
                        }
                    const ScribusDocument::Page& model = mPages[size_t(reference)];
                    ScribusDocument::Page page = model;
                    page.mElement = XmlIndex::sNone;
                    page.mY = tops.back() + step * double(s - (before.mSpreads.size() - 1)) +
                              (model.mY - tops[size_t(model.mSpread)]);
                    page.mSpread = int(s);
                    XmlEditor copy(mXml);
                    copy.setAttribute(model.mElement, "PAGEXPOS", numberText(page.mX));
                    copy.setAttribute(model.mElement, "PAGEYPOS", numberText(page.mY));
                    copy.setAttribute(model.mElement, "NUM", QString::number(mPages.size()));
                    mEdit.insertAfter(last, copy.elementText(model.mElement));
                    mPages.push_back(page);
                }
        }
        if (XmlTag(mXml, document).has("ANZPAGES"))
            mEdit.setAttribute(document, "ANZPAGES", QString::number(newCount));
        // The section that ran to the last page runs to the new last page.
        const uint32_t sections = mXml.child(document, "Sections");
        if (sections != XmlIndex::sNone)
            for (uint32_t s = mXml.element(sections).mFirstChild; s != XmlIndex::sNone; s = mXml.element(s).mNextSibling)
                if (mXml.isNamed(s, "Section") && XmlTag(mXml, s).integer("To", -1) == oldCount - 1)
                    mEdit.setAttribute(s, "To", QString::number(newCount - 1));
    }

    void spreadOrigin(int spread, double* x, double* y) const
    {
        *x = *y = 0;
        if (mDoc.isOldFormat())
            return;
        bool first = true;
        for (const ScribusDocument::Page& page : mPages)
            if (page.mSpread == spread)
            {
                *x = first ? page.mX : std::min(*x, page.mX);
                *y = first ? page.mY : std::min(*y, page.mY);
                first = false;
            }
    }

    // Of a spread's pages, the one that holds the centre of the box's
    // bounding box, else the nearest: the page Scribus shows it on, which
    // the file names too.
    int pageOf(const Box& box, int spread, double x, double y) const
    {
        double cx = 0, cy = 0;
        rotatedCentre(x, y, fromFixed(box.mBounds.right - box.mBounds.left),
                      fromFixed(box.mBounds.bottom - box.mBounds.top), fromFixed(propertyOf(box, 51)), &cx, &cy);
        int page = -1;
        double nearest = -1;
        for (size_t p = 0; p < mPages.size(); ++p)
        {
            if (mPages[p].mSpread != spread)
                continue;
            const ScribusDocument::Page& info = mPages[p];
            double dx = std::max({0.0, info.mX - cx, cx - info.mX - info.mWidth});
            double dy = std::max({0.0, info.mY - cy, cy - info.mY - info.mHeight});
            if (mDoc.isOldFormat())
                dx = dy = 0;
            if (nearest < 0 || dx * dx + dy * dy < nearest)
            {
                nearest = dx * dx + dy * dy;
                page = int(p);
            }
        }
        return std::max(0, page);
    }

    // Which boxes keep their element, which get a new one, which elements go.
    void placeBoxes()
    {
        std::unordered_set<uint32_t> claimed;
        for (size_t s = 0; s < mLayout->mSpreads.size(); ++s)
            for (const Box& box : mLayout->mSpreads[s].mBoxes)
            {
                const ScribusDocument::Object* object =
                    box.mOrigin.isIn(&mDoc) ? mDoc.objectAt(box.mOrigin.mElement) : nullptr;
                // An object stays where it stands in the document, also when
                // it goes to another spread (but in a format 1.2 document,
                // whose objects lie inside their pages).
                const bool movable = object && object->mTopLevel && !mDoc.isOldFormat();
                if (object && (object->mSpread == int(s) || movable) && object->mSpread >= 0 &&
                    !claimed.count(object->mElement))
                {
                    Box before = mDoc.readBox(object->mElement, object->mSpread);
                    if (before.mKind == box.mKind)
                    {
                        claimed.insert(object->mElement);
                        mKept[box.mNumber] = object->mElement;
                        if (object->mSpread != int(s))
                            moveToSpread(object->mElement, object->mSpread, int(s), box, before);
                        Box was = withIdentity(before, box);
                        was.mName = XmlTag(mXml, object->mElement).value("ANNAME");
                        applyBox(mEdit, object->mElement, was, box);
                        continue;
                    }
                }
                create(box, int(s));
            }
        for (const ScribusDocument::Object& object : mDoc.objects())
            if (!claimed.count(object.mElement) && object.mSpread >= 0)
                mEdit.remove(object.mElement);
    }

    // An object that goes to another spread: its page becomes the one of
    // that spread that holds it, and `before` is told in that spread's
    // coordinates, so that only a move on the canvas moves it.
    void moveToSpread(uint32_t element, int from, int to, const Box& box, Box& before)
    {
        double fromX = 0, fromY = 0, toX = 0, toY = 0;
        spreadOrigin(from, &fromX, &fromY);
        spreadOrigin(to, &toX, &toY);
        const Fixed dx = toFixed(fromX - toX), dy = toFixed(fromY - toY);
        before.mBounds = {before.mBounds.left + dx, before.mBounds.top + dy, before.mBounds.right + dx,
                          before.mBounds.bottom + dy};
        const int page = pageOf(box, to, toX + fromFixed(box.mBounds.left), toY + fromFixed(box.mBounds.top));
        mEdit.setAttribute(element, "OwnPage", QString::number(page));
    }

    static Box withIdentity(Box read, const Box& box)
    {
        read.mNumber = box.mNumber;
        read.mDefaultName = box.mDefaultName;
        return read;
    }

    void create(const Box& box, int spread)
    {
        Created made;
        made.mBox = &box;
        double x = 0, y = 0;
        spreadOrigin(spread, &x, &y);
        made.mX = x + fromFixed(box.mBounds.left);
        made.mY = y + fromFixed(box.mBounds.top);
        made.mPage = pageOf(box, spread, made.mX, made.mY);
        const ScribusDocument* source = scribusSource(box.mOrigin);
        if (source && generationOf(*source) == generationOf(mDoc))
        {
            const ScribusDocument::Object* object = source->objectAt(box.mOrigin.mElement);
            if (object && object->mSpread >= 0 && box.mKind != XT::kContentGroup &&
                source->readBox(object->mElement, object->mSpread).mKind == box.mKind)
            {
                made.mSource = source;
                made.mSourceElement = object->mElement;
            }
        }
        mCreatedIndex[box.mNumber] = mCreated.size();
        mCreated.push_back(std::move(made));
    }

    // Each spread's objects in the model's stacking order: the kept ones
    // trade places among the places they hold, within their parent and
    // their layer (Scribus stacks layers by their level first).
    void restack()
    {
        for (const Spread& spread : mLayout->mSpreads)
        {
            std::map<std::pair<uint32_t, int>, std::vector<uint32_t>> byPlace; // model order
            for (const Box& box : spread.mBoxes)
            {
                auto kept = mKept.find(box.mNumber);
                if (kept == mKept.end())
                    continue;
                const ScribusDocument::Object* object = mDoc.objectAt(kept->second);
                if (object && object->mTopLevel)
                    byPlace[{mXml.element(kept->second).mParent, XmlTag(mXml, kept->second).integer("LAYER", 0)}]
                        .push_back(kept->second);
            }
            for (auto& entry : byPlace)
            {
                std::vector<uint32_t> slots = entry.second;
                std::sort(slots.begin(), slots.end()); // element indexes run in document order
                for (size_t i = 0; i < slots.size(); ++i)
                    if (slots[i] != entry.second[i])
                    {
                        mEdit.placeInstead(slots[i], entry.second[i]);
                        mPlaced[slots[i]] = entry.second[i];
                    }
            }
        }
    }

    // The items in the order the document will hold them, as links by
    // position count them; new items get their place and ItemID.
    void finalOrder()
    {
        std::vector<uint32_t> order; // kept elements, top level in their new places
        std::vector<int> createdAt;   // per created: the count of kept items before it
        auto withNested = [&](uint32_t element)
        {
            order.push_back(element);
            for (const ScribusDocument::Object& object : mDoc.objects())
                if (!object.mTopLevel && !mEdit.isRemoved(object.mElement))
                    for (uint32_t p = mXml.element(object.mElement).mParent; p != XmlIndex::sNone;
                         p = mXml.element(p).mParent)
                        if (p == element)
                        {
                            order.push_back(object.mElement);
                            break;
                        }
        };
        if (mDoc.isOldFormat())
        {
            for (size_t p = 0; p < mDoc.pages().size(); ++p)
            {
                for (const ScribusDocument::Object& object : mDoc.objects())
                    if (object.mTopLevel && mXml.element(object.mElement).mParent == mDoc.pages()[p].mElement)
                        placedAt(object.mElement, withNested);
                for (Created& made : mCreated)
                    if (made.mPage == int(p))
                        made.mPosition = int(order.size()) + countCreatedBefore(made);
            }
        }
        else
        {
            for (const ScribusDocument::Object& object : mDoc.objects())
                if (object.mTopLevel)
                    placedAt(object.mElement, withNested);
            for (size_t i = 0; i < mCreated.size(); ++i)
                mCreated[i].mPosition = int(order.size() + i);
        }
        for (size_t i = 0; i < order.size(); ++i)
            mPosition[order[i]] = int(i);
        if (mDoc.linksByItemId())
        {
            qint64 next = 0;
            for (const ScribusDocument::Object& object : mDoc.objects())
                next = std::max(next, XmlTag(mXml, object.mElement).value("ItemID").toLongLong() + 1);
            for (Created& made : mCreated)
                made.mItemId = QString::number(next++);
        }
    }

    int countCreatedBefore(const Created& made) const
    {
        int count = 0;
        for (const Created& other : mCreated)
        {
            if (&other == &made)
                break;
            if (other.mPage <= made.mPage)
                ++count;
        }
        return count;
    }

    template <typename Add> void placedAt(uint32_t slot, Add add)
    {
        auto placed = mPlaced.find(slot);
        const uint32_t element = placed == mPlaced.end() ? slot : placed->second;
        if (!mEdit.isRemoved(element))
            add(element);
    }

    QString referenceOf(int32_t number) const
    {
        auto created = mCreatedIndex.find(number);
        if (created != mCreatedIndex.end())
        {
            const Created& made = mCreated[created->second];
            return mDoc.linksByItemId() ? made.mItemId : QString::number(made.mPosition);
        }
        const uint32_t element = mKept.at(number);
        return mDoc.linksByItemId() ? XmlTag(mXml, element).value("ItemID")
                                    : QString::number(mPosition.at(element));
    }

    void setLink(int32_t number, const char* name, const QString& value)
    {
        auto created = mCreatedIndex.find(number);
        if (created != mCreatedIndex.end())
            mCreated[created->second].mSet.emplace_back(name, value);
        else
        {
            mEdit.setAttribute(mKept.at(number), name, value);
            mLinked.insert(mKept.at(number));
        }
    }

    bool hasElement(int32_t number) const { return mKept.count(number) || mCreatedIndex.count(number); }

    // The frames a story runs through here, first first.
    std::vector<int32_t> framesOf(const Story& story) const
    {
        std::vector<int32_t> frames;
        for (const BoxLink& link : story.mBoxes)
        {
            if (link.mLayout != mLayout->mNumber || !hasElement(link.mBox))
                continue;
            const Box* box = mLayout->findBox(link.mBox);
            if (box && box->isText() && std::find(frames.begin(), frames.end(), link.mBox) == frames.end())
                frames.push_back(link.mBox);
        }
        return frames;
    }

    // The frames a story of this document was read with, by box number.
    std::vector<int32_t> framesAsRead(const Story& story) const
    {
        std::vector<int32_t> frames;
        if (!story.mOrigin.isIn(&mDoc))
            return frames;
        if (const std::vector<uint32_t>* elements = mDoc.storyFrames(story.mOrigin.mElement))
            for (uint32_t element : *elements)
                frames.push_back(mDoc.objectAt(element)->mNumber);
        return frames;
    }

    // Stories whose chain of frames is new or changed get their links and
    // their text in their first frame; stories whose text alone changed get
    // their text; the frames of chains that changed or went are unlinked.
    void writeStories()
    {
        std::set<int32_t> linkedNow;
        for (const Story& story : mProject.mStories)
        {
            const std::vector<int32_t> frames = framesOf(story);
            if (frames.empty())
                continue;
            const std::vector<int32_t> read = framesAsRead(story);
            bool whole = read != frames;
            for (int32_t frame : frames)
                whole = whole || mCreatedIndex.count(frame);
            if (whole)
            {
                for (size_t f = 0; f < frames.size(); ++f)
                {
                    setLink(frames[f], "NEXTITEM", f + 1 < frames.size() ? referenceOf(frames[f + 1]) : QStringLiteral("-1"));
                    setLink(frames[f], "BACKITEM", f > 0 ? referenceOf(frames[f - 1]) : QStringLiteral("-1"));
                    linkedNow.insert(frames[f]);
                }
                writeText(story, frames);
                continue;
            }
            for (int32_t frame : frames)
                linkedNow.insert(frame);
            Story asRead;
            std::vector<TextUnit> units;
            const std::vector<uint32_t>& readFrames = *mDoc.storyFrames(story.mOrigin.mElement);
            for (uint32_t element : readFrames)
                StoryText::read(mXml, element, units);
            StoryText::toStory(mXml, units, StoryText::styleOf(mXml, readFrames, units).mTrail, asRead);
            if (asRead.mText != story.mText || asRead.mRuns != story.mRuns || asRead.mFormats != story.mFormats ||
                asRead.mTrail != story.mTrail)
                writeText(story, frames);
        }
        // Kept frames that were in a chain as read and are no longer in it
        // lose their links. A link that led nowhere as read is left as it is.
        std::unordered_set<uint32_t> chained;
        for (const ScribusDocument::Object& object : mDoc.objects())
            if (const std::vector<uint32_t>* frames = mDoc.storyFrames(object.mElement))
                if (frames->size() > 1)
                    chained.insert(frames->begin(), frames->end());
        for (const ScribusDocument::Object& object : mDoc.objects())
        {
            if (mEdit.isRemoved(object.mElement) || linkedNow.count(object.mNumber) ||
                !mKept.count(object.mNumber) || !chained.count(object.mElement))
                continue;
            const XmlTag tag(mXml, object.mElement);
            for (const char* name : {"NEXTITEM", "BACKITEM"})
                if (tag.has(name) && !tag.equals(name, "-1"))
                {
                    mEdit.setAttribute(object.mElement, name, QStringLiteral("-1"));
                    mLinked.insert(object.mElement);
                }
        }
    }

    // The story's text in its first frame, the other frames emptied. The
    // text is rebuilt from the units of the story it was read or copied
    // from, so that unchanged text keeps its runs and inline elements.
    void writeText(const Story& story, const std::vector<int32_t>& frames)
    {
        const ScribusDocument* source = scribusSource(story.mOrigin);
        if (source && generationOf(*source) != generationOf(mDoc))
            source = nullptr;
        const std::vector<uint32_t>* sourceFrames = source ? source->storyFrames(story.mOrigin.mElement) : nullptr;
        std::vector<TextUnit> units;
        StoryText::Style style;
        const XmlIndex* xml = &mXml;
        if (sourceFrames)
        {
            xml = &source->xml();
            for (uint32_t element : *sourceFrames)
                StoryText::read(*xml, element, units);
            style = StoryText::styleOf(*xml, *sourceFrames, units);
            if (source != &mDoc)
                bringAlongText(*source, units, style);
        }
        else
        {
            style.mParaElements = mDoc.version() >= 105 || !mDoc.isOldFormat();
            if (!mDoc.isOldFormat() && mDoc.version() < 105)
                style.mParaElements = paraElementsInDocument();
        }
        const std::vector<QByteArray> elements =
            StoryText::toXml(*xml, StoryText::rebuild(*xml, units, story, style));
        for (size_t f = 0; f < frames.size(); ++f)
        {
            const std::vector<QByteArray> text = f == 0 ? elements : std::vector<QByteArray>();
            auto created = mCreatedIndex.find(frames[f]);
            if (created != mCreatedIndex.end())
            {
                Created& made = mCreated[created->second];
                made.mHasText = true;
                made.mText = text;
                made.mTrailSource = style.mTrail;
                made.mTrailFormat = story.mTrail;
                made.mTrailDocument = sourceFrames ? source : nullptr;
                continue;
            }
            replaceText(mEdit, mKept.at(frames[f]), text, sourceFrames ? xml : nullptr, style.mTrail, story.mTrail);
        }
    }

    bool paraElementsInDocument() const
    {
        for (const ScribusDocument::Object& object : mDoc.objects())
        {
            const uint32_t holder = StoryText::container(mXml, object.mElement);
            if (holder != object.mElement || mXml.child(holder, "para") != XmlIndex::sNone)
                return true;
        }
        return false;
    }

    // Replaces the text elements of a frame by `text`, where the first of
    // them stood (else before the trail, else at the end); from 1.5 on a
    // frame without StoryText gets one, ending with the last paragraph's
    // style (`trail`, an element of `trailXml`).
    void replaceText(XmlEditor& edit, uint32_t frame, const std::vector<QByteArray>& text, const XmlIndex* trailXml,
                     uint32_t trail, const XT::TextAttributes& trailFormat) const
    {
        const XmlIndex& xml = edit.index();
        const uint32_t holder = StoryText::container(xml, frame);
        if (holder == frame && mDoc.linksByItemId())
        {
            if (text.empty())
                return;
            QByteArray content = "<DefaultStyle/>";
            for (const QByteArray& element : text)
                content += element;
            content += StoryText::trailXml(trailXml, trail, trailFormat);
            edit.append(frame, "<StoryText>" + content + "</StoryText>");
            return;
        }
        uint32_t first = XmlIndex::sNone, trailElement = XmlIndex::sNone;
        for (uint32_t c = xml.element(holder).mFirstChild; c != XmlIndex::sNone; c = xml.element(c).mNextSibling)
        {
            if (StoryText::isTextElement(xml, c))
            {
                if (first == XmlIndex::sNone)
                    first = c;
                edit.remove(c);
            }
            else if (xml.isNamed(c, "trail") && trailElement == XmlIndex::sNone)
                trailElement = c;
        }
        for (const QByteArray& element : text)
        {
            if (first != XmlIndex::sNone)
                edit.insertAfter(first, element);
            else if (trailElement != XmlIndex::sNone)
                edit.insertBefore(trailElement, element);
            else
                edit.append(holder, element);
        }
        // The last paragraph's style is the trail's.
        if (trailElement != XmlIndex::sNone)
            for (const auto& change : ScribusFormatting::edits(xml, trailElement, trailFormat, true))
            {
                if (change.second.isEmpty())
                    edit.removeAttribute(trailElement, change.first.constData());
                else
                    edit.setAttribute(trailElement, change.first.constData(), change.second);
            }
        else if (holder != frame && !trailFormat.isEmpty())
            edit.append(holder, StoryText::trailXml(nullptr, XmlIndex::sNone, trailFormat));
    }

    // Links by position (before 1.5) follow the items that moved.
    void relinkByPosition()
    {
        if (mDoc.linksByItemId() || mDoc.isOldFormat())
            return;
        std::vector<int> now;
        for (const ScribusDocument::Object& object : mDoc.objects())
        {
            auto found = mPosition.find(object.mElement);
            now.push_back(found == mPosition.end() ? -1 : found->second);
        }
        for (const auto& entry : mPosition)
        {
            if (mLinked.count(entry.first))
                continue;
            const XmlTag tag(mXml, entry.first);
            for (const char* name : {"NEXTITEM", "BACKITEM"})
            {
                bool ok = false;
                const int was = tag.value(name).toInt(&ok);
                if (ok && was >= 0 && was < int(now.size()) && now[size_t(was)] != was)
                    mEdit.setAttribute(entry.first, name, QString::number(now[size_t(was)]));
            }
        }
    }

    // The colours, styles and layers a copied element names that this
    // document lacks come with it from its source.
    void bringAlong(const ScribusDocument& source, uint32_t element)
    {
        std::vector<uint32_t> pending{element};
        std::vector<XmlIndex::Attribute> attributes;
        const XmlIndex& xml = source.xml();
        while (!pending.empty())
        {
            const uint32_t e = pending.back();
            pending.pop_back();
            xml.attributes(e, attributes);
            for (const XmlIndex::Attribute& attribute : attributes)
            {
                const int32_t kind = namesColour(xml, attribute) ? ScribusAssets::sColour : namesStyle(xml, attribute);
                if (!kind)
                    continue;
                const QString name = xml.value(attribute);
                if (name.isEmpty() || name == QLatin1String("None") || mProject.findAsset(kind, name) ||
                    mBrought.count({kind, name}))
                    continue;
                const uint32_t definition = source.assetElement(kind, name);
                if (definition == XmlIndex::sNone)
                    continue;
                mBrought.insert({kind, name});
                if (mDoc.assetElement(kind, name) != XmlIndex::sNone && !(kind == ScribusAssets::sColour &&
                                                                          builtInColorIndex(name) < 0))
                    continue; // a built-in colour the document has
                if (mDoc.assetElement(kind, name) != XmlIndex::sNone)
                {
                    mKeepDeleted.insert({kind, name});
                    continue;
                }
                const XmlIndex::Element& d = xml.element(definition);
                mAdded[kind].push_back(QByteArray(xml.data() + d.mStart, int(d.mEnd - d.mStart)));
                pending.push_back(definition);
            }
            for (uint32_t c = xml.element(e).mFirstChild; c != XmlIndex::sNone; c = xml.element(c).mNextSibling)
                pending.push_back(c);
        }
    }

    void bringAlongText(const ScribusDocument& source, const std::vector<TextUnit>& units,
                        const StoryText::Style& style)
    {
        uint32_t last = XmlIndex::sNone;
        for (const TextUnit& unit : units)
            if (unit.mSource != last)
            {
                last = unit.mSource;
                bringAlong(source, unit.mSource);
            }
        if (style.mTrail != XmlIndex::sNone)
            bringAlong(source, style.mTrail);
    }

    // Assets: changed definitions rewritten, new ones added after the last
    // of their kind, removed ones dropped.
    void writeAssets()
    {
        const uint32_t document = mDoc.documentElement();
        for (int32_t kind : ScribusAssets::sKinds)
        {
            const auto& now = mProject.mAssets[size_t(kind - 1)];
            uint32_t last = XmlIndex::sNone;
            for (uint32_t e = mXml.element(document).mFirstChild; e != XmlIndex::sNone; e = mXml.element(e).mNextSibling)
                if (ScribusAssets::kindOf(mXml, e) == kind)
                    last = e;
            std::vector<QByteArray>& added = mAdded[kind];
            std::vector<QByteArray> own;
            std::set<QString> present;
            for (const Asset& asset : now)
            {
                present.insert(asset.mName);
                const uint32_t element = mDoc.assetElement(kind, asset.mName);
                if (element != XmlIndex::sNone)
                {
                    if (mDoc.readAsset(kind, element) == withoutOrigin(asset))
                        continue;
                    if (kind == ScribusAssets::sColour)
                        writeColor(mEdit, element, asset.mColor);
                    else
                    {
                        mEdit.insertAfter(element, definitionElement(kind, asset));
                        mEdit.remove(element);
                    }
                    continue;
                }
                own.push_back(newAssetElement(kind, asset, last));
            }
            removeAssets(kind, present);
            own.insert(own.end(), added.begin(), added.end());
            placeAssets(kind, last, own);
        }
    }

    static Asset withoutOrigin(Asset asset)
    {
        asset.mOrigin = Origin();
        return asset;
    }

    QByteArray newAssetElement(int32_t kind, const Asset& asset, uint32_t lastOfKind)
    {
        // An asset copied from another document of this generation, as it
        // was defined there, is that document's element.
        const ScribusDocument* source = scribusSource(asset.mOrigin);
        if (source && generationOf(*source) == generationOf(mDoc) && asset.mOrigin.mElement != XmlIndex::sNone &&
            source->readAsset(kind, asset.mOrigin.mElement) == withoutOrigin(asset) && kind != ScribusAssets::sLayer)
        {
            bringAlong(*source, asset.mOrigin.mElement);
            const XmlIndex::Element& e = source->xml().element(asset.mOrigin.mElement);
            return QByteArray(source->xml().data() + e.mStart, int(e.mEnd - e.mStart));
        }
        if (kind == ScribusAssets::sColour)
            return newColorElement(asset, lastOfKind == XmlIndex::sNone ? mDoc.version() >= 105
                                                                        : XmlTag(mXml, lastOfKind).has("SPACE"));
        return definitionElement(kind, asset);
    }

    void removeAssets(int32_t kind, const std::set<QString>& present)
    {
        for (uint32_t e = mXml.element(mDoc.documentElement()).mFirstChild; e != XmlIndex::sNone;
             e = mXml.element(e).mNextSibling)
        {
            if (ScribusAssets::kindOf(mXml, e) != kind)
                continue;
            const QString name = XmlTag(mXml, e).value(ScribusAssets::nameAttributeOf(kind));
            if (name.isEmpty() || present.count(name) || mKeepDeleted.count({kind, name}))
                continue;
            if (kind == ScribusAssets::sColour && builtInColorIndex(name) >= 0)
                continue;
            if (mDoc.assetElement(kind, name) == e)
                mEdit.remove(e);
        }
    }

    void placeAssets(int32_t kind, uint32_t last, const std::vector<QByteArray>& elements)
    {
        if (elements.empty())
            return;
        const uint32_t document = mDoc.documentElement();
        if (last == XmlIndex::sNone)
        {
            // Before the first page definition, else at the end.
            for (uint32_t e = mXml.element(document).mFirstChild; e != XmlIndex::sNone; e = mXml.element(e).mNextSibling)
                if (mXml.isNamed(e, "MASTERPAGE") || mXml.isNamed(e, "PAGE"))
                {
                    for (const QByteArray& xml : elements)
                        mEdit.insertBefore(e, xml);
                    return;
                }
            for (const QByteArray& xml : elements)
                mEdit.append(document, xml);
            return;
        }
        for (const QByteArray& xml : elements)
            mEdit.insertAfter(last, xml);
    }

    // The new elements go after the document's last object (in 1.2, into
    // their pages).
    void insertCreated(const std::vector<QByteArray>& elements)
    {
        uint32_t anchor = XmlIndex::sNone;
        for (const ScribusDocument::Object& object : mDoc.objects())
            if (object.mTopLevel)
                anchor = object.mElement;
        if (anchor == XmlIndex::sNone)
            for (const ScribusDocument::Page& page : mDoc.pages())
                anchor = page.mElement;
        for (size_t i = 0; i < mCreated.size(); ++i)
        {
            const Created& made = mCreated[i];
            const QByteArray& xml = elements[i];
            if (mDoc.isOldFormat())
            {
                if (size_t(made.mPage) < mDoc.pages().size())
                    mEdit.append(mDoc.pages()[size_t(made.mPage)].mElement, xml);
            }
            else if (anchor != XmlIndex::sNone)
                mEdit.insertAfter(anchor, xml);
            else
                mEdit.append(mDoc.documentElement(), xml);
        }
    }

    QByteArray createdXml(Created& made)
    {
        const Box& box = *made.mBox;
        std::vector<std::pair<QByteArray, QString>> set = {
            {"XPOS", numberText(made.mX)},
            {"YPOS", numberText(made.mY)},
            {"NEXTITEM", QStringLiteral("-1")},
            {"BACKITEM", QStringLiteral("-1")},
        };
        if (!mDoc.isOldFormat())
            set.emplace_back("OwnPage", QString::number(made.mPage));
        if (mDoc.linksByItemId())
            set.emplace_back("ItemID", made.mItemId);
        set.insert(set.end(), made.mSet.begin(), made.mSet.end());
        if (made.mSource)
        {
            const ScribusDocument& source = *made.mSource;
            if (&source != &mDoc)
                bringAlong(source, made.mSourceElement);
            XmlEditor copy(source.xml());
            const ScribusDocument::Object* object = source.objectAt(made.mSourceElement);
            Box before = source.readBox(made.mSourceElement, object->mSpread);
            before.mName = XmlTag(source.xml(), made.mSourceElement).value("ANNAME");
            // Where it goes is set whole; the rest of what the model changed
            // is written into the copy.
            Box placed = box;
            const Fixed width = box.mBounds.right - box.mBounds.left, height = box.mBounds.bottom - box.mBounds.top;
            placed.mBounds = {before.mBounds.left, before.mBounds.top, before.mBounds.left + width,
                              before.mBounds.top + height};
            applyBox(copy, made.mSourceElement, before, placed);
            for (const auto& attribute : set)
                copy.setAttribute(made.mSourceElement, attribute.first.constData(), attribute.second);
            mapLayer(copy, source, made.mSourceElement);
            if (box.isText())
                replaceText(copy, made.mSourceElement, made.mHasText ? made.mText : std::vector<QByteArray>(),
                            made.mTrailDocument ? &made.mTrailDocument->xml() : nullptr, made.mTrailSource,
                            made.mTrailFormat);
            return copy.elementText(made.mSourceElement);
        }
        XmlElementBuilder builder = objectElement(box, made.mX, made.mY, made.mPage);
        for (const auto& attribute : set)
            builder.set(attribute.first.constData(), attribute.second);
        if (!made.mHasText || made.mText.empty())
            return builder.empty();
        QByteArray content;
        for (const QByteArray& element : made.mText)
            content += element;
        if (!mDoc.linksByItemId())
            return builder.withContent(content);
        const QByteArray trail = StoryText::trailXml(made.mTrailDocument ? &made.mTrailDocument->xml() : nullptr,
                                                     made.mTrailSource, made.mTrailFormat);
        return builder.withContent("<StoryText><DefaultStyle/>" + content + trail + "</StoryText>");
    }

    // A copied object stays on the layer of the same name, else goes to the
    // document's first layer.
    void mapLayer(XmlEditor& copy, const ScribusDocument& source, uint32_t element) const
    {
        const XmlTag tag(source.xml(), element);
        if (!tag.has("LAYER") || &source == &mDoc)
            return;
        int number = mDoc.layerNumber(source.layerName(tag.integer("LAYER", 0)));
        if (number < 0)
        {
            for (uint32_t e = mXml.element(mDoc.documentElement()).mFirstChild; e != XmlIndex::sNone && number < 0;
                 e = mXml.element(e).mNextSibling)
                if (mXml.isNamed(e, "LAYERS"))
                    number = XmlTag(mXml, e).integer("NUMMER", 0);
        }
        copy.setAttribute(element, "LAYER", QString::number(std::max(0, number)));
    }

    const ScribusDocument& mDoc;
    const XmlIndex& mXml;
    XmlEditor mEdit;
    const Project& mProject;
    const Layout* mLayout;
    std::vector<ScribusDocument::Page> mPages; // as they are written
    std::unordered_map<int32_t, uint32_t> mKept;
    std::vector<Created> mCreated;
    std::unordered_map<int32_t, size_t> mCreatedIndex;
    std::unordered_map<uint32_t, uint32_t> mPlaced;  // slot to the kept element written there
    std::unordered_map<uint32_t, int> mPosition;     // kept item to its place among the items
    std::unordered_set<uint32_t> mLinked;             // kept items whose links were written
    std::set<std::pair<int32_t, QString>> mBrought;
    std::set<std::pair<int32_t, QString>> mKeepDeleted;
    std::map<int32_t, std::vector<QByteArray>> mAdded; // definitions brought along, by kind
};

} // namespace

QString ScribusWriter::unwritable(const ScribusDocument& document, const Project& project)
{
    QStringList reasons;
    const Layout& before = document.layoutAsRead();
    for (size_t l = 1; l < project.mLayouts.size(); ++l)
        reasons << QStringLiteral("a Scribus document holds one layout, so layout %1 cannot be written in it")
                       .arg(quoted(project.mLayouts[l].mName));
    const Layout* layout = project.mLayouts.empty() ? nullptr : &project.mLayouts.front();
    if (!layout)
        return reasons.join(QLatin1String("; "));
    if (layout->mMasterPages != before.mMasterPages)
        reasons << QStringLiteral("its master pages changed (%1, read as %2), and master pages are not written")
                       .arg(layout->mMasterPages.join(QLatin1String(", ")),
                            before.mMasterPages.join(QLatin1String(", ")));
    const QString pages = pagesProblem(document, *layout);
    if (!pages.isEmpty())
        reasons << pages;
    for (const Spread& spread : layout->mSpreads)
        for (const Box& box : spread.mBoxes)
            if (box.mKind == XT::kContentGroup)
            {
                const ScribusDocument::Object* object =
                    box.mOrigin.isIn(&document) ? document.objectAt(box.mOrigin.mElement) : nullptr;
                if (!object || document.readBox(object->mElement, object->mSpread).mKind != XT::kContentGroup)
                    reasons << QStringLiteral(
                                   "box %1 is a new group, and a group is not written without the objects in it")
                                   .arg(quoted(box.mName.isEmpty() ? box.mDefaultName : box.mName));
            }
    for (const Story& story : project.mStories)
    {
        const bool framed = std::any_of(story.mBoxes.begin(), story.mBoxes.end(),
                                        [&](const BoxLink& link)
                                        {
                                            const Box* box =
                                                link.mLayout == layout->mNumber ? layout->findBox(link.mBox) : nullptr;
                                            return box && box->isText();
                                        });
        if (!framed)
            reasons << QStringLiteral("story %1 (%2) is in no text frame, and a Scribus document keeps text only "
                                      "in frames")
                           .arg(story.mNumber)
                           .arg(quoted(story.mText.left(30).simplified()));
    }
    if (document.isOldFormat())
        for (const Story& story : project.mStories)
        {
            if (story.mBoxes.size() < 2)
                continue;
            std::vector<int32_t> read;
            if (story.mOrigin.isIn(&document))
                if (const std::vector<uint32_t>* frames = document.storyFrames(story.mOrigin.mElement))
                    for (uint32_t element : *frames)
                        read.push_back(document.objectAt(element)->mNumber);
            std::vector<int32_t> now;
            for (const BoxLink& link : story.mBoxes)
                now.push_back(link.mBox);
            if (read != now)
            {
                const Box* first = layout->findBox(story.mBoxes.front().mBox);
                reasons << QStringLiteral("the story of box %1 runs through %2 frames, and a format 1.2 document's "
                                          "linked frames are not written")
                               .arg(quoted(first ? (first->mName.isEmpty() ? first->mDefaultName : first->mName)
                                                 : QString::number(story.mNumber)))
                               .arg(story.mBoxes.size());
            }
        }
    return reasons.join(QLatin1String("; "));
}

QByteArray ScribusWriter::write(const ScribusDocument& document, const Project& project)
{
    return Writer(document, project).write();
}

QByteArray ScribusWriter::blankDocument(const Project& project)
{
    const Layout* layout = project.mLayouts.empty() ? nullptr : &project.mLayouts.front();
    double width = 595.276, height = 841.89;
    int columns = 1, first = 0;
    if (layout && !layout->mSpreads.empty() && !layout->mSpreads.front().mPages.isEmpty())
    {
        const Spread& spread = layout->mSpreads.front();
        width = fromFixed(spread.mBounds[1] - spread.mBounds[0]) / spread.mPages.size();
        height = fromFixed(spread.mBounds[3] - spread.mBounds[2]);
        for (const Spread& each : layout->mSpreads)
            columns = std::max(columns, int(each.mPages.size()));
        columns = std::min(columns, 4);
        first = std::max(0, columns - int(spread.mPages.size()));
    }
    QByteArray pages;
    int pageNumber = 0;
    if (layout)
        for (size_t s = 0; s < layout->mSpreads.size(); ++s)
        {
            const Spread& spread = layout->mSpreads[s];
            for (int p = 0; p < spread.mPages.size(); ++p, ++pageNumber)
            {
                const int column = s == 0 ? first + p : p;
                pages += "\n  " + XmlElementBuilder("PAGE")
                                      .set("PAGEXPOS", numberText(100 + column * width))
                                      .set("PAGEYPOS", numberText(20 + double(s) * (height + 40)))
                                      .set("PAGEWIDTH", numberText(width))
                                      .set("PAGEHEIGHT", numberText(height))
                                      .set("NUM", QString::number(pageNumber))
                                      .set("MNAM", QStringLiteral("Normal"))
                                      .empty();
            }
        }
    QByteArray sets;
    for (int i = 0; i < columns; ++i)
        sets += XmlElementBuilder("Set")
                    .set("Name", QStringLiteral("Set %1").arg(i + 1))
                    .set("FirstPage", QString::number(i + 1 == columns ? first : 0))
                    .set("Rows", QStringLiteral("1"))
                    .set("Columns", QString::number(i + 1))
                    .empty();
    XmlElementBuilder document("DOCUMENT");
    document.set("ANZPAGES", QString::number(pageNumber))
        .set("PAGEWIDTH", numberText(width))
        .set("PAGEHEIGHT", numberText(height))
        .set("BOOK", QString::number(columns - 1));
    if (layout)
        document.set("TITLE", layout->mName);
    const QByteArray master = XmlElementBuilder("MASTERPAGE")
                                  .set("PAGEXPOS", QStringLiteral("0"))
                                  .set("PAGEYPOS", QStringLiteral("0"))
                                  .set("PAGEWIDTH", numberText(width))
                                  .set("PAGEHEIGHT", numberText(height))
                                  .set("NUM", QStringLiteral("0"))
                                  .set("NAM", QStringLiteral("Normal"))
                                  .empty();
    const QByteArray skeleton =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCRIBUSUTF8NEW Version=\"1.5.8\">\n " +
        document.withContent("\n  <PageSets>" + sets + "</PageSets>\n  " + master + pages + "\n ") +
        "\n</SCRIBUSUTF8NEW>\n";
    Project blank;
    QString error;
    const std::shared_ptr<ScribusDocument> read = ScribusDocument::read(skeleton, QByteArray(), blank, &error);
    if (!read)
        return skeleton;
    Project model = project;
    if (!model.mLayouts.empty())
        model.mLayouts.front().mMasterPages = read->layoutAsRead().mMasterPages;
    return write(*read, model);
}

} // namespace XTHost
