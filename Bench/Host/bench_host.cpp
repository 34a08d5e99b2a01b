// Opens and walks a generated project the size of a long publication through
// the host's function tables, as the plug-in's tree construction does: every
// layout, spread, page, box, story text and asset. Prints the median time to
// open, the median time to walk, and the peak memory of a fresh process that
// opens and walks once.
//
//   bench_host [--runs N]

#include "HostSession.h"
#include "ProjectGenerator.h"
#include "XTGroups.h"

#include "BenchProjects.h"
#include "BenchSupport.h"
#include "HostTables.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

struct Tables : XTHost::HostTables
{
    explicit Tables(const xtsetuprec* setup) { acquire(setup); }

    // Reads a host string the way the plug-in does, and releases it.
    size_t consume(HostString string) const
    {
        if (!string)
            return 0;
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(mStrings->HostStringChars(string)),
                               mStrings->HostStringLength(string));
        mStrings->ReleaseHostString(string);
        return size_t(text.size());
    }
};

struct Counts
{
    long mLayouts = 0, mSpreads = 0, mPages = 0, mBoxes = 0, mStories = 0, mTextUnits = 0, mHiddenRuns = 0,
         mAssets = 0;
    size_t mChecksum = 0;
};

XTProjectId open(const Tables& t, const QString& path)
{
    HostString text =
        t.mStrings->HostStringFromUtf16(reinterpret_cast<const uint16_t*>(path.utf16()), path.size());
    XTFileSpec spec = t.mFiles->FileFromPath(text);
    t.mStrings->ReleaseHostString(text);
    const XTProjectId project = t.mProject->OpenProjectFile(spec, 31);
    t.mFiles->DisposeFile(spec);
    return project;
}

Counts walk(const Tables& t, XTProjectId project)
{
    Counts c;
    static const int32_t sBoxLabels[] = {51, 52, 53, 54, 55, 56, 80, 81};
    static const int32_t sTextLabels[] = {57, 58, 59, 60, 65, 66, 67};
    static const int32_t sPictureLabels[] = {68, 69, 70, 72, 73, 74, 75, 76, 77, 78, 79};
    c.mChecksum += t.consume(t.mProject->GetProjectPath(project));
    for (int32_t l = 0; l < t.mProject->GetLayoutCount(project); ++l)
    {
        const DocRef doc = t.mProject->GetLayout(project, l);
        ++c.mLayouts;
        c.mChecksum += t.consume(t.mProject->GetLayoutName(doc)) + t.mProject->GetLayoutType(doc) +
                       size_t(t.mProject->GetLayoutIndex(doc));
        const int16_t masters = t.mSpread->GetMasterPageCount(doc);
        const int16_t spreads = t.mSpread->GetSpreadCount(doc, 0);
        for (int16_t s = 1; s <= spreads; ++s)
        {
            const XTBoxRef spreadBox = t.mSpread->GetSpreadBox(doc, s);
            ++c.mSpreads;
            const int16_t index =
                int16_t(t.mSpread->GetSpreadNumber(spreadBox) - t.mSpread->GetMasterSpreadCount(doc));
            Fixed bounds[4];
            t.mDoc->GetSpreadBounds(doc, index, bounds);
            c.mChecksum += t.consume(t.mBox->GetBoxName(spreadBox)) + size_t(bounds[1]) +
                           size_t(t.mDoc->GetSpreadShortValue(doc, index)) +
                           t.consume(t.mNumbers->FixedToText(t.mDoc->GetSpreadFixedValue(doc, index), 115));
            XTHandle pages = t.mSpread->GetSpreadPages(doc, index);
            for (int64_t p = 0; p < t.mPlatform->GetHandleSize(pages) / 2; ++p)
            {
                int16_t number = 0;
                std::memcpy(&number, *pages + 2 * p, 2);
                ++c.mPages;
                c.mChecksum += t.consume(t.mSpread->GetPageLabel(doc, int16_t(masters + number)));
            }
            t.mPlatform->DisposeHandle(pages);
            for (XTBoxRef box = t.mBox->GetFirstBox(spreadBox, 1); box; box = t.mBox->GetNextBox(box, 1))
            {
                ++c.mBoxes;
                XTBoxGeometry geometry;
                t.mGeometry(box, &geometry);
                c.mChecksum += t.consume(t.mBox->GetBoxName(box)) + size_t(t.mBox->GetBoxNumber(box, 0)) +
                               size_t(t.mBox->GetBoxContentType(box)) + size_t(geometry.origin.h);
                for (int32_t label : sBoxLabels)
                    c.mChecksum += size_t(t.mFields->GetBoxProperty(box, label));
                if (t.mBox->IsTextBox(box))
                {
                    for (int32_t label : sTextLabels)
                        c.mChecksum += size_t(t.mFields->GetBoxProperty(box, label));
                    Fixed insets[4];
                    t.mFields->GetTextInsets(box, insets);
                    c.mChecksum += size_t(insets[0]) + size_t(t.mFields->GetInsetSetting(box));
                }
                else if (t.mBox->IsPictureBox(box))
                {
                    const XTPicture picture = t.mPicture->GetBoxPicture(box);
                    for (int32_t label : sPictureLabels)
                        c.mChecksum += size_t(t.mPicture->GetPictureProperty(picture, label));
                    XTFileSpec file = t.mPicture->GetPictureFile(picture);
                    c.mChecksum += t.consume(t.mFiles->GetFilePath(file));
                    t.mFiles->DisposeFile(file);
                }
            }
        }
    }
    std::vector<uint16_t> buffer;
    XTHandle boxes = t.mPlatform->NewHandle(0);
    const intptr_t entry = t.mText->GetFirstStoryEntry(project);
    for (XTTextRef text = entry ? t.mText->GetStoryText(entry) : nullptr; text;
         text = t.mText->GetNextStory(text))
    {
        ++c.mStories;
        c.mChecksum += size_t(t.mText->GetStoryNumber(text));
        t.mText->GetStoryBoxes(text, 0, boxes);
        c.mChecksum += size_t(t.mPlatform->GetHandleSize(boxes));
        const int32_t n = t.mText->CountTextChars(text, 0, 0);
        buffer.resize(size_t(n) + 1);
        c.mTextUnits += t.mText->GetTextChars(text, 0, n, buffer.data());
        int32_t position = 0;
        bool found = false;
        while (t.mText->FindHiddenRun(text, &position, n, 0, 0, 1, 0, &found) == XT::kNoErr && found &&
               position != -1)
        {
            ++c.mHiddenRuns;
            position += t.mText->GetHiddenRunLength(text, position) + 1;
        }
    }
    t.mPlatform->DisposeHandle(boxes);
    const AssetSpaceRef space = t.mAssets->GetAssetSpace(project);
    const XTColorList colours = t.mAssets->GetColorList(space);
    for (int32_t kind = XT::kFirstAssetKind; kind <= XT::kLastAssetKind; ++kind)
    {
        AssetIteratorRef iterator = nullptr;
        if (t.mAssets->NewAssetIterator(space, kind, &iterator) != XT::kNoErr)
            continue;
        for (AssetUID uid = t.mAssets->GetIteratorAsset(iterator); uid != XT::kNoAsset;
             uid = t.mAssets->NextAsset(iterator) == XT::kNoErr ? t.mAssets->GetIteratorAsset(iterator)
                                                                : XT::kNoAsset)
        {
            ++c.mAssets;
            c.mChecksum += t.consume(t.mAssets->GetAssetName(space, kind, uid)) +
                           t.consume(t.mAssets->GetAssetDescription(space, kind, uid, 0));
            if (kind == XT::kColorAssetKind)
            {
                for (int32_t selector : {0, 3, 4, 5, 6, 108})
                    c.mChecksum += size_t(t.mColors->QueryColor(colours, XTColorId(uid), selector));
                uint16_t r = 0, g = 0, b = 0;
                t.mColors->GetColorRGB(colours, XTColorId(uid), 0x10000, XT::kColorSpacePSDX, -4, &r, &g, &b);
                c.mChecksum += r + g + b;
            }
        }
        t.mAssets->DisposeAssetIterator(iterator);
    }
    return c;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    // A child opens and walks once (or, with --idle, only starts) and prints
    // its peak resident memory in kB.
    if (args.size() >= 3 && args[1] == QLatin1String("--child"))
    {
        XTHost::HostSession session;
        Tables tables(session.setupRecord());
        if (args[2] != QLatin1String("--idle"))
        {
            const XTProjectId project = open(tables, args[2]);
            if (project == XT::kNoProject)
                return 1;
            walk(tables, project);
        }
        std::printf("%ld\n", Bench::PeakKilobytes());
        return 0;
    }

    int runs = 5;
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    if (runsAt > 0 && runsAt + 1 < args.size())
        runs = std::max(1, args[runsAt + 1].toInt());

    const XTHost::GeneratorOptions options = Bench::ProjectOptions();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("left.xprj"));
    QString error;
    if (!XTHost::ProjectGenerator::writePair(options, path, dir.filePath(QStringLiteral("right.xprj")),
                                             &error))
    {
        std::fprintf(stderr, "bench_host: %s\n", qPrintable(error));
        return 1;
    }

    std::vector<double> openTimes, walkTimes;
    Counts counts;
    for (int run = 0; run < runs; ++run)
    {
        XTHost::HostSession session;
        Tables tables(session.setupRecord());
        QElapsedTimer timer;
        timer.start();
        const XTProjectId project = open(tables, path);
        openTimes.push_back(timer.nsecsElapsed() / 1e9);
        if (project == XT::kNoProject)
        {
            std::fprintf(stderr, "bench_host: %s\n", qPrintable(session.lastError()));
            return 1;
        }
        timer.restart();
        counts = walk(tables, project);
        walkTimes.push_back(timer.nsecsElapsed() / 1e9);
    }

    auto childPeak = [&](const QString& what) {
        return Bench::PeakOfChild({QStringLiteral("--child"), what});
    };
    std::vector<double> peaks, idlePeaks;
    for (int run = 0; run < std::min(runs, 3); ++run)
    {
        peaks.push_back(childPeak(path));
        idlePeaks.push_back(childPeak(QStringLiteral("--idle")));
    }

    std::printf("input: generated project (seed %u, xtgen --layouts 2 --spreads 125 --pages 2 --boxes 20 "
                "--stories 1000 --story-length 2000 --assets 111), %.1f MB\n",
                options.mSeed, QFileInfo(path).size() / 1e6);
    std::printf("walked: %ld layouts, %ld spreads, %ld pages, %ld boxes, %ld stories with %ld text units "
                "(%ld hidden runs), %ld assets (checksum %zu)\n",
                counts.mLayouts, counts.mSpreads, counts.mPages, counts.mBoxes, counts.mStories,
                counts.mTextUnits, counts.mHiddenRuns, counts.mAssets, counts.mChecksum);
    std::printf("open: median %.3f s over %d runs (%s)\n", Bench::Median(openTimes), runs,
                qPrintable(Bench::List(openTimes, 3)));
    std::printf("walk: median %.3f s over %d runs (%s)\n", Bench::Median(walkTimes), runs,
                qPrintable(Bench::List(walkTimes, 3)));
    std::printf("peak memory of a fresh process that opens and walks once: median %.1f MB (%s); "
                "of one that only starts a host: %.1f MB\n",
                Bench::Median(peaks), qPrintable(Bench::List(peaks, 1)), Bench::Median(idlePeaks));
    return 0;
}
