#pragma once

// What the host tests share: the function tables acquired through the setup
// record exactly as the plug-in acquires them, and a small project built in
// code whose every value the tests know.

#include "Format/JsonProjectFormat.h"
#include "HostSession.h"
#include "HostTables.h"
#include "Model/BoxProperties.h"
#include "Model/Project.h"
#include "XTGroups.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <vector>

struct HostApi : XTHost::HostTables
{
    HostString string(const QString& text) const
    {
        return mStrings->HostStringFromUtf16(reinterpret_cast<const uint16_t*>(text.utf16()), text.size());
    }

    // Reads and releases a HostString; a null string reads as a null QString.
    QString take(HostString string) const
    {
        if (!string)
            return QString();
        const QString text(reinterpret_cast<const QChar*>(mStrings->HostStringChars(string)),
                           mStrings->HostStringLength(string));
        mStrings->ReleaseHostString(string);
        return text;
    }

    XTFileSpec file(const QString& path) const
    {
        HostString text = string(path);
        XTFileSpec spec = mFiles->FileFromPath(text);
        mStrings->ReleaseHostString(text);
        return spec;
    }

    XTProjectId open(const QString& path) const
    {
        XTFileSpec spec = file(path);
        const XTProjectId id = mProject->OpenProjectFile(spec, 31);
        mFiles->DisposeFile(spec);
        return id;
    }

    QString storyText(XTTextRef text) const
    {
        const int32_t count = mText->CountTextChars(text, 0, 0);
        std::vector<uint16_t> buffer(size_t(count) + 1);
        const int32_t copied = mText->GetTextChars(text, 0, count, buffer.data());
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer.data()), copied);
    }

    std::vector<XTBoxRef> storyBoxes(XTTextRef text) const
    {
        XTHandle handle = mPlatform->NewHandle(0);
        std::vector<XTBoxRef> boxes;
        if (mText->GetStoryBoxes(text, 0, handle) == XT::kNoErr)
        {
            boxes.resize(size_t(mPlatform->GetHandleSize(handle) / 4));
            if (!boxes.empty())
                std::memcpy(boxes.data(), *handle, boxes.size() * 4);
        }
        mPlatform->DisposeHandle(handle);
        return boxes;
    }

    // The boxes on a spread, in the host's order.
    std::vector<XTBoxRef> boxesOn(XTBoxRef spreadBox) const
    {
        std::vector<XTBoxRef> boxes;
        for (XTBoxRef box = mBox->GetFirstBox(spreadBox, 1); box; box = mBox->GetNextBox(box, 1))
            boxes.push_back(box);
        return boxes;
    }

    XTBoxRef boxNumbered(XTProjectId project, int32_t layoutNumber, int32_t boxNumber) const
    {
        for (int32_t l = 0; l < mProject->GetLayoutCount(project); ++l)
        {
            const DocRef doc = mProject->GetLayout(project, l);
            if (mProject->GetLayoutIndex(doc) != layoutNumber)
                continue;
            for (int16_t s = 1; s <= mSpread->GetSpreadCount(doc, 0); ++s)
                for (XTBoxRef box : boxesOn(mSpread->GetSpreadBox(doc, s)))
                    if (mBox->GetBoxNumber(box, 0) == boxNumber)
                        return box;
        }
        return XT::kNoBox;
    }

    // The assets of a kind, with their names, as the plug-in's cursor walks
    // them: the first one once the iterator is made, then NextAsset.
    std::vector<std::pair<AssetUID, QString>> assets(XTProjectId project, int32_t kind) const
    {
        std::vector<std::pair<AssetUID, QString>> found;
        const AssetSpaceRef space = mAssets->GetAssetSpace(project);
        AssetIteratorRef iterator = nullptr;
        if (mAssets->NewAssetIterator(space, kind, &iterator) != XT::kNoErr)
            return found;
        for (AssetUID uid = mAssets->GetIteratorAsset(iterator); uid != XT::kNoAsset;
             uid = mAssets->NextAsset(iterator) == XT::kNoErr ? mAssets->GetIteratorAsset(iterator)
                                                              : XT::kNoAsset)
            found.emplace_back(uid, take(mAssets->GetAssetName(space, kind, uid)));
        mAssets->DisposeAssetIterator(iterator);
        return found;
    }

    AssetUID assetNamed(XTProjectId project, int32_t kind, const QString& name) const
    {
        for (const auto& [uid, assetName] : assets(project, kind))
            if (assetName == name)
                return uid;
        return XT::kNoAsset;
    }

    XTTextRef storyNumbered(XTProjectId project, int32_t number) const
    {
        const intptr_t entry = mText->GetFirstStoryEntry(project);
        for (XTTextRef text = entry ? mText->GetStoryText(entry) : nullptr; text;
             text = mText->GetNextStory(text))
            if (mText->GetStoryNumber(text) == number)
                return text;
        return nullptr;
    }
};

// Fixed from points.
inline Fixed pt(double points)
{
    return Fixed(points * 65536.0);
}

// A small publication whose every value the tests know:
// - layout 2 "Web" (XWEB, stored first in the file) and layout 1 "Print" (XDOC)
//   with 2 master spreads and 3 master pages;
// - layout 1 spread 1 (pages "i", "ii"): text box 10 "Headline", picture box 3
//   "Photo", empty box 7; spread 2 (page "1"): text box 5;
// - layout 2 spread 1 (page "Home"): text box 1;
// - story 4 runs through boxes 10 and 5 of layout 1 and has a hidden run,
//   story 9 shows in box 1 of layout 2, story 2 is in no box;
// - colours "Sky" (RGB) and "Ink" (CMYK, spot), a paragraph style and a layer.
inline XTHost::Project smallProject()
{
    using namespace XTHost;
    Project project;
    auto box = [](int32_t number, const char* name, int16_t kind, double left, double top, double right,
                  double bottom)
    {
        Box b;
        b.mNumber = number;
        b.mName = QString::fromUtf8(name);
        b.mKind = kind;
        b.mBounds = {pt(left), pt(top), pt(right), pt(bottom)};
        applyDefaultProperties(b);
        return b;
    };
    Layout web;
    web.mNumber = 2;
    web.mName = QStringLiteral("Web");
    web.mType = XT::kLayoutWeb;
    Spread home;
    home.mName = QStringLiteral("Home spread");
    home.mPages = QStringList{QStringLiteral("Home")};
    home.mBoxes.push_back(box(1, "Banner", XT::kContentText, 0, 0, 800, 120));
    web.mSpreads.push_back(home);

    Layout print;
    print.mNumber = 1;
    print.mName = QStringLiteral("Print");
    print.mType = XT::kLayoutPrint;
    print.mMasterSpreads = 2;
    print.mMasterPages =
        QStringList{QStringLiteral("A-Master"), QStringLiteral("B-Master"), QStringLiteral("C-Master")};
    Spread first;
    first.mBounds = {0, pt(1224), 0, pt(792)};
    first.mColumns = 2;
    first.mGutter = pt(12.5);
    first.mPages = QStringList{QStringLiteral("i"), QStringLiteral("ii")};
    first.mBoxes.push_back(box(10, "Headline", XT::kContentText, 36, 36, 576, 108));
    first.mBoxes.back().mInsets = {pt(1), pt(2), pt(3), pt(4)};
    first.mBoxes.back().mColor = QStringLiteral("Sky");
    first.mBoxes.push_back(box(3, "Photo", XT::kContentPicture, 36, 120, 300, 400));
    first.mBoxes.back().mPicturePath = QStringLiteral("images/photo.png");
    first.mBoxes.back().mPictureProperties[70] = pt(50);
    first.mBoxes.push_back(box(7, "", XT::kContentNone, 400, 400, 500, 500));
    first.mBoxes.back().mColor = QStringLiteral("Sky");
    Spread second;
    second.mPages = QStringList{QStringLiteral("1")};
    second.mBoxes.push_back(box(5, "Body", XT::kContentText, 36, 36, 576, 700));
    print.mSpreads = {first, second};
    project.mLayouts = {web, print}; // the reader lists them by number

    Story four;
    four.mNumber = 4;
    four.appendVisible(QStringLiteral("Hello world\rSecond "));
    four.appendHidden(QStringLiteral("secret"));
    four.appendVisible(QStringLiteral(" paragraph"));
    four.mBoxes = {{1, 10}, {1, 5}};
    Story nine;
    nine.mNumber = 9;
    nine.appendVisible(QStringLiteral("Welcome"));
    nine.mBoxes = {{2, 1}};
    Story two;
    two.mNumber = 2;
    two.appendVisible(QStringLiteral("Unplaced"));
    project.mStories = {four, nine, two};

    Asset sky;
    sky.mKind = XT::kColorAssetKind;
    sky.mName = QStringLiteral("Sky");
    sky.mColor = {ColorValue::Rgb, {0, 128, 255, 0}, false};
    Asset ink;
    ink.mKind = XT::kColorAssetKind;
    ink.mName = QStringLiteral("Ink");
    ink.mColor = {ColorValue::Cmyk, {100, 50, 0, 20}, true};
    project.mAssets[XT::kColorAssetKind - 1] = {sky, ink};
    Asset body;
    body.mKind = 1;
    body.mName = QStringLiteral("Body");
    body.mDescription = QStringLiteral("Serif 10 pt\rleading 12 pt");
    project.mAssets[0] = {body};
    Asset layer;
    layer.mKind = 17;
    layer.mName = QStringLiteral("Top");
    layer.mDescription = QStringLiteral("visible");
    project.mAssets[16] = {layer};
    return project;
}

inline QString writeProject(const QTemporaryDir& dir, const QString& name, const XTHost::Project& project)
{
    const QString path = dir.filePath(name);
    QString error;
    if (!XTHost::JsonProjectFormat().save(project, path, &error))
        qWarning("%s", qPrintable(error));
    return path;
}
