#include "ProjectGenerator.h"

#include "Format/JsonProjectFormat.h"
#include "Model/BoxProperties.h"

#include <algorithm>

namespace XTHost
{

namespace
{

const char* const sWords[] = {
    "harbour", "lantern", "meridian", "quiet",   "river",   "copper", "orchard", "signal",  "paper",
    "window",  "stone",   "northern", "morning", "letter",  "garden", "engine",  "market",  "silver",
    "bridge",  "winter",  "column",   "margin",  "press",   "ink",    "ledger",  "compass", "island",
    "ferry",   "harvest", "thread",   "velvet",  "granite", "summit", "willow",  "beacon",  "atlas",
    "the",     "a",       "of",       "and",     "to",      "in",     "with",    "over",    "under",
    "café",    "naïve",   "Zürich",   "été",     "Ørsted",  "€",      "—",       "“quoted”"};
constexpr int sWordCount = int(sizeof(sWords) / sizeof(sWords[0]));

const char* const sBoxNames[] = {"Headline", "Body",       "Caption",  "Sidebar", "Photo",
                                 "Logo",     "Pull quote", "Masthead", "Footer",  "Byline"};

Fixed pt(int points)
{
    return points * XT::kFixedOne;
}

} // namespace

ProjectGenerator::ProjectGenerator(const GeneratorOptions& options)
    : mOptions(options), mRandom(options.mSeed)
{
}

uint32_t ProjectGenerator::next(uint32_t bound)
{
    // mt19937's output is fixed by the standard; the library's distributions
    // are not, so the reduction is done here.
    return bound == 0 ? 0 : uint32_t(mRandom() % bound);
}

bool ProjectGenerator::chance(double probability)
{
    return double(mRandom() >> 8) / double(1 << 24) < probability;
}

QString ProjectGenerator::words(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
    {
        if (i)
            text += ' ';
        text += QString::fromUtf8(sWords[next(sWordCount)]);
    }
    return text;
}

QString ProjectGenerator::paragraph(int length)
{
    QString text;
    while (text.size() < length)
    {
        QString sentence = words(4 + int(next(10)));
        sentence[0] = sentence[0].toUpper();
        text += sentence + QStringLiteral(". ");
    }
    return text.trimmed();
}

Story ProjectGenerator::makeStory(int32_t number, int length)
{
    Story story;
    story.mNumber = number;
    int remaining = std::max(length, 1);
    while (remaining > 0)
    {
        const int size = std::min(remaining, 80 + int(next(500)));
        QString text = paragraph(size).left(size);
        if (!story.mText.isEmpty())
            story.appendVisible(QStringLiteral("\r"));
        // Now and then a hidden note sits inside a paragraph.
        if (text.size() > 40 && chance(0.15))
        {
            const int split = 10 + int(next(uint32_t(text.size() - 20)));
            story.appendVisible(text.left(split));
            story.appendHidden(QStringLiteral("[note: ") + words(2 + int(next(4))) + ']');
            story.appendVisible(text.mid(split));
        }
        else
            story.appendVisible(text);
        remaining -= size + 1;
    }
    formatStory(story);
    return story;
}

// Body text in one face, now and then a few words set otherwise, and each
// paragraph aligned.
void ProjectGenerator::formatStory(Story& story)
{
    XT::TextAttributes body;
    XT::SetAttribute(body, QStringLiteral("font"), QStringLiteral("DejaVu Serif"));
    XT::SetAttribute(body, QStringLiteral("size"), QStringLiteral("10"));
    story.mFormats.push_back({0, body});
    static const char* const aligns[] = {"left", "justified", "centre"};
    int start = 0;
    for (int i = 0; i <= story.length(); ++i)
    {
        const bool end = i == story.length();
        if (!end && !TextFormat::isParagraphEnd(story.mText[i]))
            continue;
        if (i - start > 30 && chance(0.3))
        {
            XT::TextAttributes emphasis = body;
            if (chance(0.5))
                XT::SetAttribute(emphasis, QStringLiteral("font"), QStringLiteral("DejaVu Serif Bold"));
            else
                XT::SetAttribute(emphasis, QStringLiteral("colour"), QStringLiteral("Magenta"));
            const int from = story.adjustOffset(start + int(next(uint32_t(i - start - 20))));
            story.mFormats.push_back({from, emphasis});
            story.mFormats.push_back({from + 5 + int(next(15)), body});
        }
        XT::TextAttributes paragraph;
        XT::SetAttribute(paragraph, QStringLiteral("align"), QLatin1String(aligns[next(3)]));
        if (end)
            story.mTrail = paragraph;
        else
        {
            XT::TextAttributes own = body;
            XT::SetAttribute(own, QStringLiteral("align"), XT::AttributeValue(paragraph, QStringLiteral("align")));
            story.mFormats.push_back({i, own});
            story.mFormats.push_back({i + 1, body});
        }
        start = i + 1;
    }
    // Runs past the end go; of runs at one offset the last holds.
    while (!story.mFormats.empty() && story.mFormats.back().mOffset >= story.length())
        story.mFormats.pop_back();
    TextFormat::normalize(story.mFormats);
}

Box ProjectGenerator::makeBox(int32_t number, int index, const std::array<Fixed, 4>& spreadBounds)
{
    Box box;
    box.mNumber = number;
    const uint32_t roll = next(100);
    box.mKind = roll < 60   ? XT::kContentText
                : roll < 90 ? XT::kContentPicture
                : roll < 95 ? XT::kContentNone
                            : XT::kContentUser;
    if (chance(0.6))
        box.mName = QString::fromLatin1(sBoxNames[next(10)]) + ' ' + QString::number(index + 1);
    const int width = 36 + int(next(400));
    const int height = 24 + int(next(300));
    const int left = spreadBounds[0] / XT::kFixedOne + int(next(700));
    const int top = spreadBounds[2] / XT::kFixedOne + int(next(500));
    box.mBounds = {pt(left), pt(top), pt(left + width), pt(top + height)};
    applyDefaultProperties(box);
    if (chance(0.2))
        box.mProperties[51] = pt(int(next(90))) / 2;
    if (chance(0.3))
        box.mProperties[56] = pt(50 + int(next(50)));
    if (box.isText())
    {
        box.mProperties[59] = 1 + int(next(3));
        const Fixed inset = pt(1 + int(next(4))) / 2;
        box.mInsets = {inset, inset, inset, inset};
    }
    if (box.isPicture())
    {
        box.mPicturePath = QStringLiteral("images/picture-%1.png").arg(number);
        box.mPictureProperties[70] = pt(25 + int(next(100)));
        box.mPictureProperties[71] = box.mPictureProperties[70];
    }
    return box;
}

Spread ProjectGenerator::makeSpread(int index, int& page, int32_t& boxNumber, int layoutIndex)
{
    Spread spread;
    const int pages = std::max(mOptions.mPagesPerSpread, 1);
    spread.mBounds = {0, pt(612 * pages), 0, pt(792)};
    spread.mColumns = int16_t(1 + next(3));
    spread.mGutter = pt(12);
    for (int p = 0; p < pages; ++p)
        spread.mPages << QString::number(page++);
    for (int b = 0; b < mOptions.mBoxesPerSpread; ++b)
        spread.mBoxes.push_back(makeBox(boxNumber++, b, spread.mBounds));
    return spread;
}

Project ProjectGenerator::left()
{
    Project project;
    std::vector<std::pair<int32_t, int32_t>> textBoxes;
    for (int l = 0; l < mOptions.mLayouts; ++l)
    {
        Layout layout;
        layout.mNumber = l + 1;
        layout.mName = l % 2 ? QStringLiteral("Web %1").arg(l + 1) : QStringLiteral("Print %1").arg(l + 1);
        layout.mType = l % 2 ? XT::kLayoutWeb : XT::kLayoutPrint;
        layout.mMasterSpreads = 1;
        layout.mMasterPages = QStringList{QStringLiteral("A-Master A")};
        int page = 1;
        int32_t boxNumber = 1;
        for (int s = 0; s < mOptions.mSpreadsPerLayout; ++s)
            layout.mSpreads.push_back(makeSpread(s, page, boxNumber, l));
        for (const Spread& spread : layout.mSpreads)
            for (const Box& box : spread.mBoxes)
                if (box.isText())
                    textBoxes.emplace_back(layout.mNumber, box.mNumber);
        project.mLayouts.push_back(std::move(layout));
    }
    // Stories run through one or two text boxes each while there are boxes;
    // the rest are in no box.
    size_t nextBox = 0;
    for (int s = 0; s < mOptions.mStories; ++s)
    {
        const int length =
            std::max(1, mOptions.mStoryLength / 2 + int(next(uint32_t(mOptions.mStoryLength + 1))));
        Story story = makeStory(s + 1, length);
        const int links = 1 + int(next(2));
        for (int i = 0; i < links && nextBox < textBoxes.size(); ++i)
        {
            // A chain stays in one layout.
            if (i > 0 && textBoxes[nextBox].first != story.mBoxes.back().mLayout)
                break;
            story.mBoxes.push_back({textBoxes[nextBox].first, textBoxes[nextBox].second});
            ++nextBox;
        }
        project.mStories.push_back(std::move(story));
    }
    for (int kind = XT::kFirstAssetKind; kind <= XT::kLastAssetKind; ++kind)
        for (int i = 0; i < mOptions.mAssetsPerKind; ++i)
        {
            Asset asset;
            asset.mKind = kind;
            if (kind == XT::kColorAssetKind)
            {
                asset.mName = QStringLiteral("Colour %1").arg(i + 1, 4, 10, QLatin1Char('0'));
                if (chance(0.5))
                    asset.mColor = {
                        ColorValue::Rgb, {int(next(256)), int(next(256)), int(next(256)), 0}, false};
                else
                    asset.mColor = {ColorValue::Cmyk,
                                    {int(next(101)), int(next(101)), int(next(101)), int(next(101))},
                                    chance(0.1)};
            }
            else
            {
                asset.mName =
                    QStringLiteral("%1 %2").arg(QLatin1String(sAssetKindNames[kind - 1])).arg(i + 1);
                asset.mDescription = words(3 + int(next(6))) + '\r' + words(2 + int(next(4)));
            }
            project.mAssets[kind - 1].push_back(std::move(asset));
        }
    // Some boxes wear a colour.
    const std::vector<Asset>& colours = project.mAssets[XT::kColorAssetKind - 1];
    for (Layout& layout : project.mLayouts)
        for (Spread& spread : layout.mSpreads)
            for (Box& box : spread.mBoxes)
                if (!colours.empty() && chance(0.3))
                    box.mColor = colours[next(uint32_t(colours.size()))].mName;
    return project;
}

void ProjectGenerator::editStory(Story& story)
{
    const int edits = 1 + int(next(3));
    for (int e = 0; e < edits && story.length() > 0; ++e)
    {
        const int at = story.adjustOffset(int(next(uint32_t(story.length()))));
        switch (next(4))
        {
        case 3:
        {
            // A few words made larger, their text kept.
            const int end = std::min(story.length(), at + 3 + int(next(30)));
            XT::FormatRuns runs = story.formatting(at, end);
            for (XT::FormatRun& run : runs)
            {
                const double size = XT::AttributeValue(run.mAttributes, QStringLiteral("size")).toDouble();
                XT::SetAttribute(run.mAttributes, QStringLiteral("size"), XT::NumberText(size > 0 ? size + 2 : 12));
            }
            if (runs.empty())
                runs.push_back({0, {{QStringLiteral("size"), QStringLiteral("12")}}});
            story.setFormatting(at, end, runs);
            break;
        }
        case 0:
        {
            TextFragment fragment;
            fragment.mText = ' ' + words(2 + int(next(6)));
            story.insert(at, fragment);
            break;
        }
        case 1:
            story.remove(at, std::min(story.length(), at + 1 + int(next(40))));
            break;
        default:
        {
            story.remove(at, std::min(story.length(), at + 1 + int(next(20))));
            TextFragment fragment;
            fragment.mText = words(1 + int(next(4)));
            story.insert(at, fragment);
            break;
        }
        }
    }
}

void ProjectGenerator::editBox(Box& box, Project& project, int32_t layoutNumber)
{
    switch (next(5))
    {
    case 0: // moved
    {
        const Fixed dh = pt(int(next(81)) - 40);
        const Fixed dv = pt(int(next(81)) - 40);
        box.mBounds = {box.mBounds.left + dh, box.mBounds.top + dv, box.mBounds.right + dh,
                       box.mBounds.bottom + dv};
        break;
    }
    case 1: // resized
        box.mBounds.right += pt(int(next(60)) + 1);
        box.mBounds.bottom += pt(int(next(40)) + 1);
        break;
    case 2: // renamed
        box.mName = QString::fromLatin1(sBoxNames[next(10)]) + QStringLiteral(" (revised)");
        break;
    case 3: // retyped: a text box loses its story link
    {
        const int16_t kind = box.isText() ? int16_t(XT::kContentPicture) : int16_t(XT::kContentText);
        if (box.isText())
            for (Story& story : project.mStories)
                story.mBoxes.erase(
                    std::remove(story.mBoxes.begin(), story.mBoxes.end(), BoxLink{layoutNumber, box.mNumber}),
                    story.mBoxes.end());
        box.mKind = kind;
        applyDefaultProperties(box);
        box.mInsets = {0, 0, 0, 0};
        box.mInsetSetting = 0;
        box.mPicturePath.clear();
        if (box.isPicture())
            box.mPicturePath = QStringLiteral("images/replaced-%1.png").arg(box.mNumber);
        break;
    }
    default: // a property changed
        box.mProperties[55] = pt(40 + int(next(60)));
        break;
    }
}

Project ProjectGenerator::right(const Project& left)
{
    Project project = left;
    const double rate = mOptions.mEditRate;
    if (rate <= 0)
        return project;
    for (Layout& layout : project.mLayouts)
    {
        int32_t maxBox = 0;
        for (const Spread& spread : layout.mSpreads)
            for (const Box& box : spread.mBoxes)
                maxBox = std::max(maxBox, box.mNumber);
        for (Spread& spread : layout.mSpreads)
        {
            for (Box& box : spread.mBoxes)
                if (chance(rate))
                    editBox(box, project, layout.mNumber);
            if (chance(rate / 2))
                spread.mBoxes.push_back(makeBox(++maxBox, int(spread.mBoxes.size()), spread.mBounds));
        }
        if (chance(rate * 2))
        {
            int page = layout.pageCount() + 1;
            int32_t boxNumber = maxBox + 1;
            layout.mSpreads.push_back(makeSpread(int(layout.mSpreads.size()), page, boxNumber, 0));
        }
    }
    if (chance(std::min(1.0, rate * 3)))
    {
        Layout layout;
        layout.mNumber = project.mLayouts.empty() ? 1 : project.mLayouts.back().mNumber + 1;
        layout.mName = QStringLiteral("Added");
        layout.mType = XT::kLayoutApp;
        int page = 1;
        int32_t boxNumber = 1;
        layout.mSpreads.push_back(makeSpread(0, page, boxNumber, 0));
        project.mLayouts.push_back(std::move(layout));
    }
    for (Story& story : project.mStories)
        if (chance(rate))
            editStory(story);
    for (int kind = XT::kFirstAssetKind; kind <= XT::kLastAssetKind; ++kind)
    {
        std::vector<Asset>& assets = project.mAssets[kind - 1];
        for (Asset& asset : assets)
            if (chance(rate))
            {
                if (kind == XT::kColorAssetKind)
                    asset.mColor.mValues[next(3)] = int(next(101));
                else
                    asset.mDescription += QStringLiteral(", ") + words(2);
            }
        if (!assets.empty() && chance(rate))
            assets.erase(assets.begin() + next(uint32_t(assets.size())));
        if (chance(rate))
        {
            Asset asset;
            asset.mKind = kind;
            asset.mName = QStringLiteral("Added %1").arg(kind);
            asset.mDescription = words(3);
            asset.mColor = {ColorValue::Rgb, {int(next(256)), int(next(256)), int(next(256)), 0}, false};
            assets.push_back(std::move(asset));
        }
    }
    // A colour that is gone leaves the boxes that wore it.
    for (Layout& layout : project.mLayouts)
        for (Spread& spread : layout.mSpreads)
            for (Box& box : spread.mBoxes)
                if (!box.mColor.isEmpty() && !project.findAsset(XT::kColorAssetKind, box.mColor))
                    box.mColor.clear();
    return project;
}

bool ProjectGenerator::writePair(const GeneratorOptions& options, const QString& leftPath,
                                 const QString& rightPath, QString* error)
{
    ProjectGenerator generator(options);
    const Project leftProject = generator.left();
    const Project rightProject = generator.right(leftProject);
    const JsonProjectFormat format;
    return format.save(leftProject, leftPath, error) && format.save(rightProject, rightPath, error);
}

bool ProjectGenerator::writeTriple(const GeneratorOptions& options, const QString& basePath,
                                   const QString& leftPath, const QString& rightPath, QString* error)
{
    ProjectGenerator generator(options);
    const Project base = generator.left();
    const Project left = generator.right(base);
    GeneratorOptions other = options;
    other.mSeed = options.mSeed ^ 0x5bd1e995u;
    const Project right = ProjectGenerator(other).right(base);
    const JsonProjectFormat format;
    return format.save(base, basePath, error) && format.save(left, leftPath, error) &&
           format.save(right, rightPath, error);
}

} // namespace XTHost
