#pragma once

// What the document-model and comparison tests share: a host with the plug-in
// activated through its entry point, projects built in code and opened in it,
// and direct looks at the host's documents that do not go through the
// plug-in's own code.

#include "HostTestSupport.h"
#include "PluginSession.h"
#include "XTCalls.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <random>

// A box with the host's default properties for its kind.
inline XTHost::Box makeBox(int32_t number, const QString& name, int16_t kind, double left, double top,
                           double right, double bottom)
{
    XTHost::Box box;
    box.mNumber = number;
    box.mName = name;
    box.mKind = kind;
    box.mBounds = {pt(left), pt(top), pt(right), pt(bottom)};
    XTHost::applyDefaultProperties(box);
    return box;
}

inline XTHost::Spread makeSpread(const QStringList& pages, std::vector<XTHost::Box> boxes = {})
{
    XTHost::Spread spread;
    spread.mBounds = {0, pt(612 * pages.size()), 0, pt(792)};
    spread.mPages = pages;
    spread.mBoxes = std::move(boxes);
    return spread;
}

inline XTHost::Layout makeLayout(int32_t number, const QString& name,
                                 std::vector<XTHost::Spread> spreads = {})
{
    XTHost::Layout layout;
    layout.mNumber = number;
    layout.mName = name;
    layout.mSpreads = std::move(spreads);
    return layout;
}

inline XTHost::Asset makeAsset(int32_t kind, const QString& name, const QString& description)
{
    XTHost::Asset asset;
    asset.mKind = kind;
    asset.mName = name;
    asset.mDescription = description;
    return asset;
}

inline XTHost::Asset makeColor(const QString& name, int red, int green, int blue)
{
    XTHost::Asset asset;
    asset.mKind = XT::kColorAssetKind;
    asset.mName = name;
    asset.mColor = {XTHost::ColorValue::Rgb, {red, green, blue, 0}, false};
    return asset;
}

// A host session with the plug-in active, and the host's own tables beside
// the plug-in's for checks that must not trust the code under test.
class ModelSession
{
public:
    ModelSession() : mSession(std::make_unique<PluginSession>())
    {
        mApiReady = mSession->IsActive() && mApi.acquire(mSession->Host().setupRecord());
    }

    bool IsReady() const { return mApiReady; }
    PluginSession& Session() { return *mSession; }
    const HostApi& Api() const { return mApi; }
    XTHost::HostSession& Host() { return mSession->Host(); }

    // Writes the project to the session's folder and opens it.
    XTProjectId OpenBuilt(const XTHost::Project& project, const QString& name)
    {
        QString error;
        const QString path = mSession->TempPath(name);
        if (!XTHost::JsonProjectFormat().save(project, path, &error))
        {
            qWarning("%s", qPrintable(error));
            return XT::kNoProject;
        }
        return mSession->Open(path);
    }

    QString TempPath(const QString& name) const { return mSession->TempPath(name); }

    DocRef LayoutNumbered(XTProjectId project, int32_t number) const
    {
        for (int32_t l = 0; l < mApi.mProject->GetLayoutCount(project); ++l)
        {
            const DocRef doc = mApi.mProject->GetLayout(project, l);
            if (mApi.mProject->GetLayoutIndex(doc) == number)
                return doc;
        }
        return XT::kNoDoc;
    }

    AssetUID AssetNamed(XTProjectId project, int32_t kind, const QString& name) const
    {
        return mApi.assetNamed(project, kind, name);
    }

    // The host's document of an open project, as it holds it now.
    const XTHost::Story* HostStory(XTProjectId project, int32_t number)
    {
        const XTHost::Project* document = Host().project(project);
        return document ? document->findStory(number) : nullptr;
    }

private:
    std::unique_ptr<PluginSession> mSession;
    HostApi mApi;
    bool mApiReady = false;
};

// Text and hidden runs of a host story, readable in a failure message: hidden
// runs are shown in braces.
inline QString HostForm(const XTHost::Story& story)
{
    QString text;
    int at = 0;
    for (const XTHost::HiddenRun& run : story.mRuns)
    {
        text += story.mText.mid(at, run.mOffset - at);
        text += QLatin1Char('{') + story.mText.mid(run.mOffset + 1, run.mLength) + QLatin1Char('}');
        at = run.end();
    }
    text += story.mText.mid(at);
    text.replace(QChar(13), QStringLiteral("\\r"));
    return text;
}

// Random pairs of stories with hidden runs: a left story of words, spaces,
// paragraph ends and hidden runs, and a right story made from it by a few
// edits. Hidden runs are always followed by a visible separator and their
// content depends on their length only, so two stories whose compared texts
// are equal are equal in the host too; a merge is then right exactly when
// the host texts and runs end up equal.
class StoryPairGenerator
{
public:
    explicit StoryPairGenerator(uint32_t seed) : mRandom(seed) {}

    std::pair<XTHost::Story, XTHost::Story> Next(int32_t number)
    {
        std::vector<Token> left;
        const int count = Below(3) == 0 ? int(Below(3)) : 3 + int(Below(30));
        for (int i = 0; i < count; ++i)
            left.push_back(NewToken());
        std::vector<Token> right = left;
        const int edits = 1 + int(Below(6));
        for (int e = 0; e < edits; ++e)
        {
            const uint32_t what = Below(6);
            const size_t at = right.empty() ? 0 : size_t(Below(uint32_t(right.size())));
            if (right.empty() || what == 0)
                right.insert(right.begin() + long(right.empty() ? 0 : at), NewToken());
            else if (what == 1)
                right.erase(right.begin() + long(at));
            else if (what == 2)
                right[at] = NewToken();
            else if (what == 3 && right[at].mHidden)
                right[at].mText = HiddenContent(1 + int(Below(7)));
            else if (what == 4)
                right[at].mSeparator = right[at].mSeparator == QChar(13) ? QChar(' ') : QChar(13);
            else
                right.push_back(NewToken());
        }
        return {Build(left, number), Build(right, number)};
    }

    static QString HiddenContent(int length) { return QStringLiteral("h\rid-den").left(length); }

private:
    struct Token
    {
        bool mHidden = false;
        QString mText;
        QChar mSeparator;
    };

    uint32_t Below(uint32_t bound) { return std::uniform_int_distribution<uint32_t>(0, bound - 1)(mRandom); }

    Token NewToken()
    {
        static const char* sWords[] = {"a", "b", "ab", "ba", "tide", "harbour", "the", "x", "quay", "aa"};
        Token token;
        token.mHidden = Below(5) == 0;
        token.mText =
            token.mHidden ? HiddenContent(1 + int(Below(7))) : QString::fromLatin1(sWords[Below(10)]);
        token.mSeparator = Below(6) == 0 ? QChar(13) : QChar(' ');
        return token;
    }

    static XTHost::Story Build(const std::vector<Token>& tokens, int32_t number)
    {
        XTHost::Story story;
        story.mNumber = number;
        for (const Token& token : tokens)
        {
            if (token.mHidden)
                story.appendHidden(token.mText);
            else
                story.appendVisible(token.mText);
            story.appendVisible(QString(token.mSeparator));
        }
        return story;
    }

    std::mt19937 mRandom;
};
