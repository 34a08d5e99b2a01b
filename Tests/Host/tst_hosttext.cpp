// Story text through the host's function tables: reading with hidden runs,
// every edit and the notifications it sends (read at the byte offsets the
// plug-in reads), copy and paste through the host clipboard, and a random
// walk of edits that must keep the text consistent and tracked offsets right.
// (The stories in the host's order and the boxes they run through are
// tst_iterators' and tst_entities'.)

#include "HostTestSupport.h"

#include <QtTest>

#include <random>

namespace
{

struct Event
{
    int32_t mCode;
    XTTextRef mText;
    int32_t mOffset;
    int32_t mCount;

    bool operator==(const Event& other) const
    {
        return mCode == other.mCode && mText == other.mText && mOffset == other.mOffset &&
               mCount == other.mCount;
    }
};

std::vector<Event> sEvents;

template <typename T> T readAt(const void* record, int offset)
{
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof(T));
    return value;
}

XTStatus recordEvent(void* record, unsigned long userData)
{
    const int32_t code = readAt<int32_t>(record, 0);
    const XTTextRef text = readAt<XTTextRef>(record, 8);
    switch (code)
    {
    case XT::kCbPostTextInsert:
        sEvents.push_back({code, text, readAt<int32_t>(record, 126), readAt<int32_t>(record, 130)});
        break;
    case XT::kCbPostHiddenTextInsert:
        sEvents.push_back({code, text, readAt<int32_t>(record, 16), readAt<uint16_t>(record, 132)});
        break;
    case XT::kCbPostTextDelete:
        sEvents.push_back({code, text, readAt<int32_t>(record, 16), readAt<int32_t>(record, 20)});
        break;
    }
    return XT::kNoErr;
}

// How the plug-in keeps offsets valid across edits.
void track(std::vector<int32_t>& offsets, const std::vector<Event>& events)
{
    for (const Event& e : events)
        for (int32_t& offset : offsets)
        {
            if (e.mCode == XT::kCbPostTextDelete)
            {
                if (offset > e.mOffset + e.mCount)
                    offset -= e.mCount;
                else if (offset > e.mOffset)
                    offset = e.mOffset;
            }
            else if (offset >= e.mOffset)
                offset += e.mCount;
        }
}

const QChar sMarker(0xFFFC);

using Runs = std::vector<std::pair<int32_t, int32_t>>;

} // namespace

Q_DECLARE_METATYPE(std::vector<Event>)
Q_DECLARE_METATYPE(Runs)

namespace QTest
{
template <> char* toString(const std::vector<Event>& events)
{
    QByteArray text;
    for (const Event& e : events)
        text += QByteArray::number(e.mCode) + '(' + QByteArray::number(e.mOffset) + ',' +
                QByteArray::number(e.mCount) + ") ";
    return qstrdup(text.constData());
}
} // namespace QTest

class tst_HostText : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsTextWithHiddenRuns();
    void deleteTextRange_data();
    void deleteTextRange();
    void copyTextRangeCarriesHiddenRuns();
    void copyTextRangeThatCutsARun();
    void insertionInsideARunGoesToItsEnd();
    void copyAndPasteThroughTheClipboard();
    void pasteReplacesTheSelection();
    void copyOfAnEmptySelectionEmptiesTheClipboard();
    void selections();
    void randomEditsKeepTextAndOffsetsConsistent();

private:
    std::vector<std::pair<int32_t, int32_t>> runs(XTTextRef text) const;
    void selectAndCopy(XTBoxRef box, int32_t start, int32_t end);

    std::unique_ptr<XTHost::HostSession> mSession;
    std::unique_ptr<QTemporaryDir> mDir;
    HostApi mApi;
    XTProjectId mProject = XT::kNoProject;
    XTTextRef mFour = nullptr;
    XTTextRef mNine = nullptr;
};

void tst_HostText::init()
{
    mSession = std::make_unique<XTHost::HostSession>();
    QVERIFY(mApi.acquire(mSession->setupRecord()));
    mDir = std::make_unique<QTemporaryDir>();
    mProject = mApi.open(writeProject(*mDir, QStringLiteral("small.xprj"), smallProject()));
    QVERIFY(mProject != XT::kNoProject);
    mFour = mApi.storyNumbered(mProject, 4);
    mNine = mApi.storyNumbered(mProject, 9);
    QVERIFY(mFour && mNine);
    const xtsetuprec* setup = mSession->setupRecord();
    for (int32_t code : {XT::kCbPostTextInsert, XT::kCbPostHiddenTextInsert, XT::kCbPostTextDelete})
    {
        XTCallbackId id = 0;
        QCOMPARE(setup->installCallback(XT::kXTensionId, code, recordEvent, 7, 200, &id, 0), XT::kNoErr);
    }
    sEvents.clear();
}

void tst_HostText::cleanup()
{
    mSession.reset();
    mDir.reset();
    sEvents.clear();
}

std::vector<std::pair<int32_t, int32_t>> tst_HostText::runs(XTTextRef text) const
{
    // The catalogue walk the plug-in makes.
    std::vector<std::pair<int32_t, int32_t>> found;
    const int32_t length = mApi.mText->CountTextChars(text, 0, 0);
    int32_t position = 0;
    for (;;)
    {
        bool hit = false;
        mApi.mText->FindHiddenRun(text, &position, length, 0, 0, 1, 0, &hit);
        if (!hit || position == -1)
            break;
        const int32_t runLength = mApi.mText->GetHiddenRunLength(text, position);
        found.emplace_back(position, runLength);
        position += runLength + 1;
    }
    return found;
}

void tst_HostText::selectAndCopy(XTBoxRef box, int32_t start, int32_t end)
{
    mApi.mBox->SetCurrentBox(box);
    XTTextRef text = mApi.mText->GetTextSelection(box, nullptr, nullptr);
    QCOMPARE(mApi.mText->SetTextSelection(text, start, end, 0), XT::kNoErr);
    QCOMPARE(mApi.mCopy(2, 0, 1, 0), XT::kNoErr);
}

void tst_HostText::readsTextWithHiddenRuns()
{
    const QString expected =
        QStringLiteral("Hello world\rSecond ") + sMarker + QStringLiteral("secret paragraph");
    QCOMPARE(mApi.mText->CountTextChars(mFour, 0, 0), 36);
    QCOMPARE(mApi.storyText(mFour), expected);
    uint16_t buffer[8] = {};
    QCOMPARE(mApi.mText->GetTextChars(mFour, 30, 8, buffer), 6);
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), 6), QStringLiteral("agraph"));
    QCOMPARE(mApi.mText->GetTextChars(mFour, 36, 8, buffer), 0);
    QCOMPARE(runs(mFour), (std::vector<std::pair<int32_t, int32_t>>{{19, 6}}));
    QCOMPARE(mApi.mText->GetHiddenRunLength(mFour, 20), 0); // not a run's start
    QVERIFY(runs(mNine).empty());
}

void tst_HostText::deleteTextRange_data()
{
    QTest::addColumn<int32_t>("start");
    QTest::addColumn<int32_t>("end");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Runs>("runs");
    QTest::addColumn<std::vector<Event>>("events");

    const QString m = sMarker;
    QTest::newRow("before the run") << 0 << 6 << "world\rSecond " + m + "secret paragraph" << Runs{{13, 6}}
                                    << std::vector<Event>{{XT::kCbPostTextDelete, nullptr, 0, 6}};
    QTest::newRow("part of the hidden content")
        << 21 << 24 << "Hello world\rSecond " + m + "set paragraph" << Runs{{19, 3}}
        << std::vector<Event>{{XT::kCbPostTextDelete, nullptr, 21, 3}};
    QTest::newRow("across the run's end")
        << 24 << 28 << "Hello world\rSecond " + m + "secraragraph" << Runs{{19, 4}}
        << std::vector<Event>{{XT::kCbPostTextDelete, nullptr, 24, 4}};
    QTest::newRow("the marker: the rest shows")
        << 18 << 21 << "Hello world\rSecondecret paragraph" << Runs{}
        << std::vector<Event>{{XT::kCbPostTextDelete, nullptr, 18, 3}};
    QTest::newRow("the whole run") << 19 << 26 << "Hello world\rSecond  paragraph" << Runs{}
                                   << std::vector<Event>{{XT::kCbPostTextDelete, nullptr, 19, 7}};
    QTest::newRow("nothing") << 5 << 5 << "Hello world\rSecond " + m + "secret paragraph" << Runs{{19, 6}}
                             << std::vector<Event>{};
}

void tst_HostText::deleteTextRange()
{
    QFETCH(int32_t, start);
    QFETCH(int32_t, end);
    QFETCH(QString, text);
    QFETCH(Runs, runs);
    QFETCH(std::vector<Event>, events);
    for (Event& e : events)
        e.mText = mFour;
    QCOMPARE(mApi.mText->DeleteTextRange(mFour, start, end, 0, 1), XT::kNoErr);
    QCOMPARE(mApi.storyText(mFour), text);
    QCOMPARE(this->runs(mFour), runs);
    QCOMPARE(sEvents, events);
    QCOMPARE(mApi.mProject->IsProjectModified(mProject), !events.empty());
}

void tst_HostText::copyTextRangeCarriesHiddenRuns()
{
    // [12, 33): "Second ", the run (marker and "secret"), " paragr".
    std::vector<int32_t> tracked{0, 6, 7, 8};
    std::vector<int32_t> expected{0, 6, 28, 29};
    QCOMPARE(mApi.mText->CopyTextRange(mFour, 12, 33, mNine, 7), XT::kNoErr);
    QCOMPARE(mApi.storyText(mNine), "WelcomeSecond " + QString(sMarker) + "secret paragr");
    QCOMPARE(runs(mNine), (std::vector<std::pair<int32_t, int32_t>>{{14, 6}}));
    QCOMPARE(sEvents, (std::vector<Event>{{XT::kCbPostTextInsert, mNine, 7, 7},
                                          {XT::kCbPostHiddenTextInsert, mNine, 14, 7},
                                          {XT::kCbPostTextInsert, mNine, 21, 7}}));
    track(tracked, sEvents);
    QCOMPARE(tracked, expected);
    QVERIFY(mApi.mProject->IsProjectModified(mProject));
    // The source is unchanged.
    QCOMPARE(mApi.mText->CountTextChars(mFour, 0, 0), 36);
}

void tst_HostText::copyTextRangeThatCutsARun()
{
    // Hidden units cut off from their marker arrive as ordinary text.
    QCOMPARE(mApi.mText->CopyTextRange(mFour, 22, 30, mNine, 0), XT::kNoErr);
    QCOMPARE(mApi.storyText(mNine), QStringLiteral("cret parWelcome"));
    QVERIFY(runs(mNine).empty());
    QCOMPARE(sEvents, (std::vector<Event>{{XT::kCbPostTextInsert, mNine, 0, 8}}));
}

void tst_HostText::insertionInsideARunGoesToItsEnd()
{
    QCOMPARE(mApi.mText->CopyTextRange(mNine, 0, 3, mFour, 22), XT::kNoErr);
    QCOMPARE(mApi.storyText(mFour), "Hello world\rSecond " + QString(sMarker) + "secretWel paragraph");
    QCOMPARE(runs(mFour), (std::vector<std::pair<int32_t, int32_t>>{{19, 6}}));
    QCOMPARE(sEvents, (std::vector<Event>{{XT::kCbPostTextInsert, mFour, 26, 3}}));
    QCOMPARE(mApi.mText->CopyTextRange(mNine, 0, 8, mFour, 0), XT::kErrParam);
    QCOMPARE(mApi.mText->CopyTextRange(mNine, 0, 3, mFour, 99), XT::kErrParam);
}

void tst_HostText::copyAndPasteThroughTheClipboard()
{
    // The plug-in's copy between boxes: select, copy, restore; select, paste,
    // restore; the current box put back.
    const XTBoxRef headline = mApi.boxNumbered(mProject, 1, 10);
    const XTBoxRef banner = mApi.boxNumbered(mProject, 2, 1);
    mApi.mBox->SetCurrentBox(banner);
    const XTBoxRef saved = mApi.mBox->GetCurrentBox();
    mApi.mBox->SetCurrentBox(headline);
    int32_t a = -1, b = -1;
    XTTextRef text = mApi.mText->GetTextSelection(headline, &a, &b);
    QCOMPARE(text, mFour);
    QCOMPARE(mApi.mText->SetTextSelection(text, 12, 33, 0), XT::kNoErr);
    QCOMPARE(mApi.mCopy(2, 0, 1, 0), XT::kNoErr);
    QCOMPARE(mApi.mText->SetTextSelection(text, a, b, 0), XT::kNoErr);
    mApi.mBox->SetCurrentBox(banner);
    XTTextRef target = mApi.mText->GetTextSelection(banner, &a, &b);
    QCOMPARE(target, mNine);
    QCOMPARE(mApi.mText->SetTextSelection(target, 7, 7, 0), XT::kNoErr);
    QVERIFY(sEvents.empty());
    QCOMPARE(mApi.mPaste(banner, 2, 0, 0), XT::kNoErr);
    QCOMPARE(mApi.mText->SetTextSelection(target, a, b, 0), XT::kNoErr);
    mApi.mBox->SetCurrentBox(saved);

    QCOMPARE(mApi.storyText(mNine), "WelcomeSecond " + QString(sMarker) + "secret paragr");
    QCOMPARE(runs(mNine), (std::vector<std::pair<int32_t, int32_t>>{{14, 6}}));
    QCOMPARE(sEvents, (std::vector<Event>{{XT::kCbPostTextInsert, mNine, 7, 7},
                                          {XT::kCbPostHiddenTextInsert, mNine, 14, 7},
                                          {XT::kCbPostTextInsert, mNine, 21, 7}}));
    // The clipboard keeps its content: a second paste inserts it again.
    sEvents.clear();
    QCOMPARE(mApi.mText->SetTextSelection(target, 0, 0, 0), XT::kNoErr);
    QCOMPARE(mApi.mPaste(banner, 2, 0, 0), XT::kNoErr);
    QCOMPARE(mApi.mText->CountTextChars(mNine, 0, 0), 28 + 21);
    QCOMPARE(runs(mNine).size(), size_t(2));
}

void tst_HostText::pasteReplacesTheSelection()
{
    const XTBoxRef banner = mApi.boxNumbered(mProject, 2, 1);
    selectAndCopy(mApi.boxNumbered(mProject, 1, 10), 0, 5);
    QCOMPARE(mApi.mText->SetTextSelection(mNine, 1, 4, 0), XT::kNoErr);
    QCOMPARE(mApi.mPaste(banner, 2, 0, 0), XT::kNoErr);
    QCOMPARE(mApi.storyText(mNine), QStringLiteral("WHelloome"));
    QCOMPARE(sEvents, (std::vector<Event>{{XT::kCbPostTextDelete, mNine, 1, 3},
                                          {XT::kCbPostTextInsert, mNine, 1, 5}}));
    int32_t a = 0, b = 0;
    mApi.mText->GetTextSelection(banner, &a, &b);
    QCOMPARE(a, 6);
    QCOMPARE(b, 6);
    // Pasting into a box without text is refused.
    QCOMPARE(mApi.mPaste(mApi.boxNumbered(mProject, 1, 3), 2, 0, 0), XT::kErrParam);
}

void tst_HostText::copyOfAnEmptySelectionEmptiesTheClipboard()
{
    const XTBoxRef banner = mApi.boxNumbered(mProject, 2, 1);
    selectAndCopy(mApi.boxNumbered(mProject, 1, 10), 0, 5);
    selectAndCopy(mApi.boxNumbered(mProject, 1, 10), 3, 3);
    QCOMPARE(mApi.mText->SetTextSelection(mNine, 2, 2, 0), XT::kNoErr);
    QCOMPARE(mApi.mPaste(banner, 2, 0, 0), XT::kNoErr);
    QCOMPARE(mApi.storyText(mNine), QStringLiteral("Welcome"));
    QVERIFY(sEvents.empty());
    QVERIFY(!mApi.mProject->IsProjectModified(mProject));
    // No current box: nothing to copy.
    mApi.mBox->SetCurrentBox(XT::kNoBox);
    QCOMPARE(mApi.mCopy(2, 0, 1, 0), XT::kErrParam);
}

void tst_HostText::selections()
{
    QCOMPARE(mApi.mText->SetTextSelection(mNine, 3, 2, 0), XT::kErrParam);
    QCOMPARE(mApi.mText->SetTextSelection(mNine, 0, 8, 0), XT::kErrParam);
    QCOMPARE(mApi.mText->SetTextSelection(mNine, -1, 2, 0), XT::kErrParam);
    QCOMPARE(mApi.mText->SetTextSelection(mNine, 2, 6, 0), XT::kNoErr);
    // A deletion before the selection moves it; one through it shrinks it.
    QCOMPARE(mApi.mText->DeleteTextRange(mNine, 0, 1, 0, 1), XT::kNoErr);
    int32_t a = 0, b = 0;
    QCOMPARE(mApi.mText->GetTextSelection(mApi.boxNumbered(mProject, 2, 1), &a, &b), mNine);
    QCOMPARE(a, 1);
    QCOMPARE(b, 5);
    QCOMPARE(mApi.mText->DeleteTextRange(mNine, 3, 6, 0, 1), XT::kNoErr);
    mApi.mText->GetTextSelection(mApi.boxNumbered(mProject, 2, 1), &a, &b);
    QCOMPARE(a, 1);
    QCOMPARE(b, 3);
    QVERIFY(!mApi.mText->GetTextSelection(mApi.boxNumbered(mProject, 1, 3), &a, &b));
}

void tst_HostText::randomEditsKeepTextAndOffsetsConsistent()
{
    // Property: whatever the edits, (1) every hidden run starts with its
    // marker and runs stay apart inside the text; (2) the records describe
    // the change: offsets moved by the plug-in's rules still point at the
    // same characters.
    std::mt19937 random(20261206);
    auto pick = [&](int bound) { return bound <= 0 ? 0 : int(random() % uint32_t(bound)); };
    // Stories full of hidden runs, so that most edits meet some.
    XTHost::Project project = smallProject();
    for (XTHost::Story& story : project.mStories)
    {
        const int32_t number = story.mNumber;
        const std::vector<XTHost::BoxLink> links = story.mBoxes;
        story = XTHost::Story();
        story.mNumber = number;
        story.mBoxes = links;
        for (int i = 0; i < 40; ++i)
        {
            story.appendVisible(QStringLiteral("word%1 ").arg(i));
            story.appendHidden(QString(pick(4), QChar('h')));
        }
    }
    QCOMPARE(mApi.mProject->CloseProject(mProject, 1), XT::kNoErr);
    mProject = mApi.open(writeProject(*mDir, QStringLiteral("hidden.xprj"), project));
    mFour = mApi.storyNumbered(mProject, 4);
    mNine = mApi.storyNumbered(mProject, 9);
    QCOMPARE(runs(mFour).size(), size_t(40));
    int hiddenRecords = 0;
    XTTextRef texts[] = {mFour, mNine};
    const XTBoxRef boxes[] = {mApi.boxNumbered(mProject, 1, 10), mApi.boxNumbered(mProject, 2, 1)};
    for (int step = 0; step < 400; ++step)
    {
        const int target = pick(2);
        XTTextRef text = texts[target];
        const QString before = mApi.storyText(text);
        std::vector<int32_t> tracked;
        for (int i = 0; i < 6; ++i)
            tracked.push_back(pick(before.size()));
        std::vector<std::pair<int32_t, QChar>> anchors;
        int32_t cutStart = 0, cutEnd = 0;
        sEvents.clear();
        switch (pick(3))
        {
        case 0:
        {
            cutStart = pick(before.size() + 1);
            cutEnd = std::min<int32_t>(before.size(), cutStart + pick(8));
            QCOMPARE(mApi.mText->DeleteTextRange(text, cutStart, cutEnd, 0, 1), XT::kNoErr);
            break;
        }
        case 1:
        {
            XTTextRef source = texts[pick(2)];
            const int32_t length = mApi.mText->CountTextChars(source, 0, 0);
            const int32_t start = pick(length + 1);
            const int32_t end = std::min(length, start + pick(20));
            QCOMPARE(mApi.mText->CopyTextRange(source, start, end, text, pick(before.size() + 1)),
                     XT::kNoErr);
            break;
        }
        default:
        {
            const int source = pick(2);
            const int32_t length = mApi.mText->CountTextChars(texts[source], 0, 0);
            const int32_t start = pick(length + 1);
            selectAndCopy(boxes[source], start, std::min(length, start + pick(20)));
            // Paste over a selection of the target: a delete, then inserts.
            const int32_t length2 = mApi.mText->CountTextChars(text, 0, 0);
            cutStart = pick(length2 + 1);
            cutEnd = std::min(length2, cutStart + pick(4));
            sEvents.clear();
            QCOMPARE(mApi.mText->SetTextSelection(text, cutStart, cutEnd, 0), XT::kNoErr);
            QCOMPARE(mApi.mPaste(boxes[target], 2, 0, 0), XT::kNoErr);
            break;
        }
        }
        for (int32_t offset : tracked)
            if (offset < cutStart || offset >= cutEnd)
                anchors.emplace_back(offset, before.at(offset));
        std::vector<int32_t> moved;
        for (const auto& anchor : anchors)
            moved.push_back(anchor.first);
        track(moved, sEvents);

        const QString after = mApi.storyText(text);
        int32_t inserted = 0;
        for (const Event& e : sEvents)
        {
            hiddenRecords += e.mCode == XT::kCbPostHiddenTextInsert ? 1 : 0;
            QCOMPARE(e.mText, text);
            inserted += e.mCode == XT::kCbPostTextDelete ? -e.mCount : e.mCount;
        }
        QCOMPARE(after.size() - before.size(), inserted);
        for (size_t i = 0; i < anchors.size(); ++i)
            QCOMPARE(after.at(moved[i]), anchors[i].second);
        int32_t previousEnd = 0;
        for (const auto& run : runs(text))
        {
            QVERIFY(run.first >= previousEnd);
            QCOMPARE(after.at(run.first), sMarker);
            previousEnd = run.first + run.second + 1;
            QVERIFY(previousEnd <= after.size());
        }
    }
    QVERIFY(hiddenRecords > 50);
}

QTEST_GUILESS_MAIN(tst_HostText)
#include "tst_hosttext.moc"
