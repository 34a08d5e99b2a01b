// Reading a Scribus document into the host's model: the pages grouped into
// spreads, the page objects as boxes, each chain of linked text frames as a
// story, the colours, styles and layers as assets.

#include "ScribusDocument.h"

#include "StoryText.h"

#include "Format/ScribusProjectFormat.h"
#include "Model/BuiltInColors.h"

#include <algorithm>
#include <limits>
#include <set>
#include <unordered_map>

namespace XTHost
{

namespace
{

struct Refusal
{
    QString mMessage;
};

// "1.5.8" as 105; a part too large to read counts as newer than any.
int formatVersion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    auto leadingNumber = [](const QString& part)
    {
        qint64 value = 0;
        for (QChar c : part)
        {
            if (!c.isDigit())
                break;
            value = std::min<qint64>(value * 10 + c.digitValue(), 1000000);
        }
        return value;
    };
    const qint64 major = parts.isEmpty() ? 0 : leadingNumber(parts[0]);
    const qint64 minor = parts.size() < 2 ? 0 : std::min<qint64>(leadingNumber(parts[1]), 99);
    return int(std::min<qint64>(major * 100 + minor, std::numeric_limits<int>::max()));
}

const char* typeWord(int ptype)
{
    switch (ptype)
    {
    case 2:
        return "Image";
    case 4:
        return "Text";
    case 5:
        return "Line";
    case 6:
        return "Polygon";
    case 7:
        return "Polyline";
    case 8:
        return "PathText";
    case 12:
        return "Group";
    default:
        return "Item";
    }
}

QString quoted(const QString& text)
{
    return printable(text);
}

} // namespace

class ScribusReader
{
public:
    ScribusReader(ScribusDocument& document, std::shared_ptr<const SourceDocument> self)
        : mDoc(document), mXml(document.mXml), mSelf(std::move(self))
    {
    }

    void read(Project& project)
    {
        checkRoot();
        readPages();
        groupSpreads();
        collectObjects();
        numberItems(mDoc.mDocument);
        makeBoxes();
        makeStories(project);
        readAssets(project);
        Layout layout = mLayout;
        mDoc.mLayout = mLayout; // the layout as read keeps no boxes
        // Boxes in the order Scribus stacks them: by their layer's level,
        // then in the document's order.
        const std::vector<int> levels = layerLevels();
        std::vector<size_t> order(mDoc.mObjects.size());
        for (size_t o = 0; o < order.size(); ++o)
            order[o] = o;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return levels[a] < levels[b]; });
        for (size_t o : order)
            if (mBoxes[o].mNumber != 0)
                layout.mSpreads[size_t(mDoc.mObjects[o].mSpread)].mBoxes.push_back(std::move(mBoxes[o]));
        project.mLayouts.push_back(std::move(layout));
    }

private:
    [[noreturn]] void refuse(uint32_t element, const QString& message) const
    {
        int line = 0, column = 0;
        mXml.position(mXml.element(element).mStart, &line, &column);
        throw Refusal{QStringLiteral("line %1, element <%2>: %3")
                          .arg(line)
                          .arg(QString::fromUtf8(mXml.name(element)), message)};
    }

    void checkRoot()
    {
        const uint32_t root = mXml.root();
        mDoc.mOldFormat = mXml.isNamed(root, "SCRIBUSUTF8");
        if (!mDoc.mOldFormat && !mXml.isNamed(root, "SCRIBUSUTF8NEW"))
            refuse(root, QStringLiteral("not a Scribus document"));
        const QString version = XmlTag(mXml, root).value("Version");
        mDoc.mVersion = formatVersion(version);
        if (mDoc.mVersion > ScribusDocument::sNewestVersion)
            refuse(root, QStringLiteral("attribute Version: format version %1 is newer than this host reads (1.5)")
                             .arg(quoted(version)));
        mDoc.mDocument = mXml.child(root, "DOCUMENT");
        if (mDoc.mDocument == XmlIndex::sNone)
            refuse(root, QStringLiteral("no DOCUMENT element"));
    }

    void readPages()
    {
        const XmlTag document(mXml, mDoc.mDocument);
        const double width = document.number("PAGEWIDTH", document.number("PAGEWITH", 595));
        const double height = document.number("PAGEHEIGHT", 842);
        mLayout.mNumber = 1;
        mLayout.mType = XT::kLayoutPrint;
        const QString title = document.value("TITLE");
        mLayout.mName = title.isEmpty() ? QStringLiteral("Document") : title;
        for (uint32_t e = mXml.element(mDoc.mDocument).mFirstChild; e != XmlIndex::sNone;
             e = mXml.element(e).mNextSibling)
        {
            const bool page = mXml.isNamed(e, "PAGE");
            if (!page && !mXml.isNamed(e, "MASTERPAGE"))
                continue;
            const XmlTag tag(mXml, e);
            if (!page || (mDoc.mOldFormat && !tag.value("NAM").isEmpty()))
            {
                mLayout.mMasterPages << tag.value("NAM");
                continue;
            }
            ScribusDocument::Page info;
            info.mElement = e;
            info.mX = tag.number("PAGEXPOS", 0);
            info.mY = tag.number("PAGEYPOS", 0);
            info.mWidth = tag.number("PAGEWIDTH", width);
            info.mHeight = tag.number("PAGEHEIGHT", height);
            mDoc.mPages.push_back(info);
        }
        mLayout.mMasterSpreads = int16_t(std::min(mLayout.mMasterPages.size(), 32767));
    }

    // Pages into spreads as the facing-pages setting groups them.
    void groupSpreads()
    {
        const XmlTag document(mXml, mDoc.mDocument);
        const int book = document.integer("BOOK", 0);
        int perSpread = std::max(1, std::min(book + 1, 4));
        int first = book == 1 ? 1 : 0;
        const uint32_t sets = mXml.child(mDoc.mDocument, "PageSets");
        if (sets != XmlIndex::sNone)
        {
            int index = 0;
            for (uint32_t s = mXml.element(sets).mFirstChild; s != XmlIndex::sNone; s = mXml.element(s).mNextSibling)
                if (mXml.isNamed(s, "Set") && index++ == book)
                {
                    const XmlTag set(mXml, s);
                    perSpread = std::max(1, std::min(set.integer("Columns", perSpread), 64));
                    first = set.integer("FirstPage", first);
                }
        }
        else if (document.has("FIRSTLEFT") && book == 1)
            first = document.equals("FIRSTLEFT", "1") ? 0 : 1;
        first = std::max(0, std::min(first, perSpread - 1));
        mDoc.mColumns = perSpread;
        mDoc.mFirstColumn = first;
        std::vector<ScribusDocument::Page>& pages = mDoc.mPages;
        for (size_t p = 0; p < pages.size();)
        {
            const int count = mLayout.mSpreads.empty() ? perSpread - first : perSpread;
            Spread spread;
            double width = 0, height = 0;
            for (int i = 0; i < count && p < pages.size(); ++i, ++p)
            {
                pages[p].mSpread = int(mLayout.mSpreads.size());
                spread.mPages << QString::number(p + 1);
                width += pages[p].mWidth;
                height = std::max(height, pages[p].mHeight);
            }
            spread.mBounds = {0, toFixed(std::min(width, 32767.99998)), 0, toFixed(std::min(height, 32767.99998))};
            mLayout.mSpreads.push_back(std::move(spread));
        }
    }

    // Page objects: beside the pages (1.3 on) or inside them (1.2), and
    // inside groups, in the order links by position count them.
    void collectObjects()
    {
        if (mDoc.mOldFormat)
        {
            for (size_t p = 0; p < mDoc.mPages.size(); ++p)
                collectObjects(mDoc.mPages[p].mElement, int(p), true, true);
        }
        else
            collectObjects(mDoc.mDocument, 0, false, true);
        for (size_t o = 0; o < mDoc.mObjects.size(); ++o)
            mDoc.mObjectIndex.emplace(mDoc.mObjects[o].mElement, o);
    }

    void collectObjects(uint32_t parent, int page, bool pageKnown, bool topLevel)
    {
        for (uint32_t e = mXml.element(parent).mFirstChild; e != XmlIndex::sNone; e = mXml.element(e).mNextSibling)
        {
            if (!mXml.isNamed(e, "PAGEOBJECT"))
                continue;
            const int ownPage = pageKnown ? page : pageHolding(e);
            ScribusDocument::Object object;
            object.mElement = e;
            object.mTopLevel = topLevel;
            if (!mDoc.mPages.empty())
            {
                const int index = std::max(0, std::min(ownPage, int(mDoc.mPages.size()) - 1));
                object.mSpread = mDoc.mPages[size_t(index)].mSpread;
            }
            mDoc.mObjects.push_back(object);
            collectObjects(e, ownPage, true, false);
        }
    }

    // The page Scribus shows an object on: the one that holds the centre of
    // its bounding box, else the one its file names (which Scribus does not
    // always bring up to date when it saves).
    int pageHolding(uint32_t element) const
    {
        const XmlTag tag(mXml, element);
        double cx = 0, cy = 0;
        rotatedCentre(tag.number("XPOS"), tag.number("YPOS"), tag.number("WIDTH"), tag.number("HEIGHT"),
                      tag.number("ROT"), &cx, &cy);
        for (size_t p = 0; p < mDoc.mPages.size(); ++p)
        {
            const ScribusDocument::Page& page = mDoc.mPages[p];
            if (cx >= page.mX && cx <= page.mX + page.mWidth && cy >= page.mY && cy <= page.mY + page.mHeight)
                return int(p);
        }
        return tag.integer("OwnPage", 0);
    }

    // Every item element in document order: Scribus numbers the names it
    // gives unnamed items by this order. The depth is bounded by the
    // index's nesting limit.
    void numberItems(uint32_t parent)
    {
        for (uint32_t e = mXml.element(parent).mFirstChild; e != XmlIndex::sNone; e = mXml.element(e).mNextSibling)
        {
            const bool item =
                mXml.isNamed(e, "PAGEOBJECT") || mXml.isNamed(e, "MASTEROBJECT") || mXml.isNamed(e, "FRAMEOBJECT");
            if (item)
                mOrdinals[e] = int(mOrdinals.size()) + 1;
            if (item || (mDoc.mOldFormat && mXml.isNamed(e, "PAGE")))
                numberItems(e);
        }
    }

    void makeBoxes()
    {
        std::set<int32_t> used;
        mBoxes.resize(mDoc.mObjects.size());
        for (size_t o = 0; o < mDoc.mObjects.size(); ++o)
        {
            ScribusDocument::Object& object = mDoc.mObjects[o];
            const XmlTag tag(mXml, object.mElement);
            Box box = mDoc.mPages.empty() ? Box() : mDoc.readBox(object.mElement, object.mSpread);
            box.mName = tag.value("ANNAME");
            // An unnamed item has the name Scribus gives it when it opens
            // the document; its number follows that name, which is no
            // identity kept in the file.
            if (box.mName.isEmpty())
                box.mDefaultName =
                    QLatin1String(typeWord(tag.integer("PTYPE", 0))) + QString::number(mOrdinals[object.mElement]);
            int32_t number =
                ScribusProjectFormat::numberForName(box.mName.isEmpty() ? box.mDefaultName : box.mName);
            while (!used.insert(number).second)
                number = number == std::numeric_limits<int32_t>::max() ? 1 : number + 1;
            object.mNumber = number;
            if (tag.has("ItemID"))
                mByItemId.emplace(tag.value("ItemID"), int(o));
            if (mDoc.mPages.empty())
                continue;
            box.mNumber = number;
            box.mOrigin = {mSelf, object.mElement};
            mBoxes[o] = std::move(box);
        }
    }

    // The level of each object's layer (LAYER names a layer by its NUMMER).
    std::vector<int> layerLevels() const
    {
        std::unordered_map<int, int> levelOf;
        for (uint32_t e = mXml.element(mDoc.mDocument).mFirstChild; e != XmlIndex::sNone;
             e = mXml.element(e).mNextSibling)
            if (mXml.isNamed(e, "LAYERS"))
            {
                const XmlTag tag(mXml, e);
                levelOf.emplace(tag.integer("NUMMER", 0), tag.integer("LEVEL", 0));
            }
        std::vector<int> levels;
        levels.reserve(mDoc.mObjects.size());
        for (const ScribusDocument::Object& object : mDoc.mObjects)
        {
            auto found = levelOf.find(XmlTag(mXml, object.mElement).integer("LAYER", 0));
            levels.push_back(found == levelOf.end() ? 0 : found->second);
        }
        return levels;
    }

    bool isTextFrame(size_t object) const
    {
        return XmlTag(mXml, mDoc.mObjects[object].mElement).integer("PTYPE", 0) == 4;
    }

    QString shownName(size_t object) const
    {
        const Box& box = mBoxes[object];
        return box.mName.isEmpty() ? box.mDefaultName : box.mName;
    }

    // Each chain of linked text frames, from its first frame, is a story.
    void makeStories(Project& project)
    {
        const std::vector<ScribusDocument::Object>& objects = mDoc.mObjects;
        std::unordered_map<int, int> next, previous;
        for (size_t o = 0; o < objects.size(); ++o)
        {
            const XmlTag tag(mXml, objects[o].mElement);
            if (!isTextFrame(o) || !tag.has("NEXTITEM"))
                continue;
            const QString target = tag.value("NEXTITEM");
            int index = -1;
            if (!mByItemId.empty())
            {
                auto found = mByItemId.find(target);
                index = found == mByItemId.end() ? -1 : found->second;
            }
            else if (!mDoc.mOldFormat)
            {
                bool ok = false;
                index = target.toInt(&ok);
                if (!ok || index < 0 || index >= int(objects.size()))
                    index = -1;
            }
            if (index >= 0 && index != int(o) && !previous.count(index) && isTextFrame(size_t(index)))
            {
                next[int(o)] = index;
                previous[index] = int(o);
            }
        }
        if (mDoc.mPages.empty())
            return;
        std::vector<bool> inStory(objects.size(), false);
        for (size_t o = 0; o < objects.size(); ++o)
        {
            if (!isTextFrame(o) || previous.count(int(o)))
                continue;
            Story story;
            story.mNumber = objects[o].mNumber;
            story.mOrigin = {mSelf, objects[o].mElement};
            story.mNamedByFrame = true;
            std::vector<uint32_t> frames;
            std::vector<TextUnit> units;
            for (int frame = int(o); frame >= 0;)
            {
                inStory[size_t(frame)] = true;
                StoryText::read(mXml, objects[size_t(frame)].mElement, units);
                frames.push_back(objects[size_t(frame)].mElement);
                story.mBoxes.push_back({1, objects[size_t(frame)].mNumber});
                auto found = next.find(frame);
                frame = found == next.end() ? -1 : found->second;
            }
            StoryText::toStory(mXml, units, StoryText::styleOf(mXml, frames, units).mTrail, story);
            mDoc.mStories.emplace(frames.front(), std::move(frames));
            project.mStories.push_back(std::move(story));
        }
        // Frames that link only among themselves have no first frame: a
        // circle, which Scribus could not lay out either.
        for (size_t o = 0; o < objects.size(); ++o)
            if (isTextFrame(o) && !inStory[o])
                refuse(objects[o].mElement,
                       QStringLiteral("the text frames %1 and %2 link to each other in a circle")
                           .arg(quoted(shownName(o)), quoted(shownName(size_t(next.at(int(o)))))));
    }

    void readAssets(Project& project)
    {
        for (uint32_t e = mXml.element(mDoc.mDocument).mFirstChild; e != XmlIndex::sNone;
             e = mXml.element(e).mNextSibling)
        {
            const int32_t kind = ScribusAssets::kindOf(mXml, e);
            if (!kind)
                continue;
            Asset asset = mDoc.readAsset(kind, e);
            if (asset.mName.isEmpty() || project.findAsset(kind, asset.mName))
                continue;
            mDoc.mAssets.push_back({{kind, asset.mName}, e});
            // Scribus's own colours are the host's built-in ones; they stay
            // in the document as they are.
            if (kind == ScribusAssets::sColour && builtInColorIndex(asset.mName) >= 0)
                continue;
            asset.mOrigin = {mSelf, e};
            project.mAssets[size_t(kind - 1)].push_back(std::move(asset));
        }
    }

    ScribusDocument& mDoc;
    const XmlIndex& mXml;
    std::shared_ptr<const SourceDocument> mSelf;
    Layout mLayout;
    std::vector<Box> mBoxes; // parallel to the objects
    std::unordered_map<uint32_t, int> mOrdinals;
    std::unordered_map<QString, int> mByItemId;
};

std::shared_ptr<ScribusDocument> ScribusDocument::read(QByteArray xml, QByteArray file, Project& project,
                                                       QString* error)
{
    auto document = std::make_shared<ScribusDocument>();
    document->mCompressed = !file.isEmpty();
    if (!document->mXml.parse(std::move(xml), error))
        return nullptr;
    Project loaded;
    try
    {
        ScribusReader(*document, document).read(loaded);
    }
    catch (const Refusal& refusal)
    {
        *error = refusal.mMessage;
        return nullptr;
    }
    document->pack(std::move(file));
    loaded.mSource = document;
    project = std::move(loaded);
    return document;
}

} // namespace XTHost
