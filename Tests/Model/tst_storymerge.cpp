// Story merge through the host: rows built by the engine as the patch table
// builds them, applied in one pass; the offsets kept valid while the host
// edits a story; creating a story that one side lacks.

#include "DiffEngine.h"
#include "ModelTestSupport.h"
// After the host test support: its helpers name the host's model types unqualified.
#include "DiffModel.h"
#include "PreserveOffset.h"
#include "Story.h"

#include <QTest>

namespace
{

// Which way the host copied text: through the clipboard or directly.
int sClipboardCopies = 0;
int sRangeCopies = 0;
XECopyProc sRealCopy = nullptr;
const XTTextTable* sRealText = nullptr;

XTError CountingCopy(int32_t what, int32_t flags, int32_t toClipboard, int32_t options)
{
    ++sClipboardCopies;
    return sRealCopy(what, flags, toClipboard, options);
}

XTError CountingRangeCopy(XTTextRef source, int32_t start, int32_t end, XTTextRef destination, int32_t offset)
{
    ++sRangeCopies;
    return sRealText->CopyTextRange(source, start, end, destination, offset);
}

class CopyCounter
{
public:
    CopyCounter()
    {
        sClipboardCopies = sRangeCopies = 0;
        sRealCopy = XT::xecopy;
        sRealText = XT::gText;
        mText = *XT::gText;
        mText.CopyTextRange = &CountingRangeCopy;
        XT::xecopy = &CountingCopy;
        XT::gText = &mText;
    }
    ~CopyCounter()
    {
        XT::xecopy = sRealCopy;
        XT::gText = sRealText;
    }

private:
    XTTextTable mText;
};

enum Placement
{
    BothInBoxes,
    LeftInNoBox,
    RightInNoBox
};

// One project per side holding stories 1..stories, each in a text box of its
// own unless the placement says that side's stories are in no box.
XTHost::Project StoryProject(const std::vector<XTHost::Story>& stories, bool inBoxes)
{
    XTHost::Project project;
    XTHost::Spread spread = makeSpread({QStringLiteral("1")});
    for (const XTHost::Story& story : stories)
    {
        spread.mBoxes.push_back(makeBox(story.mNumber, QString(), XT::kContentText, 10, 10, 200, 200));
        project.mStories.push_back(story);
        if (inBoxes)
            project.mStories.back().mBoxes = {{1, story.mNumber}};
    }
    project.mLayouts.push_back(makeLayout(1, QStringLiteral("Print"), {spread}));
    return project;
}

// The change rows of a story pair as the patch table makes them comparing characters.
QList<TextDiff::UnitPatch> Rows(const QString& left, const QString& right)
{
    return TextDiff::DiffEngine().rows_make(left, right, TextDiff::Granularity::Characters, false);
}

std::map<int, TextDiff::UnitPatch*> MarkChanges(QList<TextDiff::UnitPatch>& rows, bool toRight)
{
    std::map<int, TextDiff::UnitPatch*> marked;
    for (int i = 0; i < rows.size(); ++i)
    {
        if (!rows[i].isChange)
            continue;
        (toRight ? rows[i].appliedRight : rows[i].appliedLeft) = true;
        marked[i] = &rows[i];
    }
    return marked;
}

} // namespace

class TestStoryMerge : public QObject
{
    Q_OBJECT

private slots:
    // Hidden text is masked in the compared text, so the rows alone would
    // hide a change inside it. The patch table marks every hidden unit,
    // colours the units whose hidden text differs (also where the masks are
    // of the same length), says in a tip what each side hides, and writes it
    // out for reports.
    void hiddenTextIsShown()
    {
        XTHost::Story left, right;
        left.mNumber = right.mNumber = 1;
        left.appendVisible(QStringLiteral("Walk at ten."));
        left.appendHidden(QStringLiteral("Leader: Ada"));
        left.appendVisible(QStringLiteral("\rSame.\r"));
        right.appendVisible(QStringLiteral("Walk at 11."));
        right.appendHidden(QStringLiteral("Leader: Bob"));
        right.appendVisible(QStringLiteral("\rSame.\r"));
        ModelSession session;
        QVERIFY(session.IsReady());
        const XTProjectId lhs = session.OpenBuilt(StoryProject({left}, true), QStringLiteral("l.xprj"));
        const XTProjectId rhs = session.OpenBuilt(StoryProject({right}, true), QStringLiteral("r.xprj"));
        Story leftStory(session.Api().storyNumbered(lhs, 1));
        Story rightStory(session.Api().storyNumbered(rhs, 1));
        DiffModel model(leftStory, rightStory);
        model.CompleteDiff();
        QVERIFY(model.rowCount() >= 1);

        const QModelIndex cell = model.index(0, 0);
        const QString tip = cell.data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QStringLiteral("LHS: \u00ABLeader: Ada\u00BB")) &&
                     tip.contains(QStringLiteral("RHS: \u00ABLeader: Bob\u00BB")),
                 qPrintable(tip));
        QCOMPARE(model.RevealedText(0, 0), QStringLiteral("Walk at ten.\u27E6hidden: Leader: Ada\u27E7\r"));
        QCOMPARE(model.RevealedText(0, 1), QStringLiteral("Walk at 11.\u27E6hidden: Leader: Bob\u27E7\r"));
        QVERIFY(!model.index(1, 0).data(Qt::ToolTipRole).isValid());

        for (int column = 0; column < 2; ++column)
        {
            // The run is the marker and its 11 units, at 12 on the left and
            // 11 on the right; "Ada" and "Bob" are its last three.
            const int run = column == 0 ? 12 : 11;
            QVector<QTextLayout::FormatRange> ranges;
            model.StyleText(model.index(0, column), ranges);
            QVector<int> hidden, changed;
            for (const QTextLayout::FormatRange& range : ranges)
                for (int i = range.start; i < range.start + range.length; ++i)
                {
                    if (range.format.property(DiffModel::kHiddenProperty).toBool())
                        hidden << i;
                    if (range.format.foreground().color() == QColor(Qt::darkRed))
                        changed << i;
                }
            QVector<int> wantHidden;
            for (int i = run; i < run + 12; ++i)
                wantHidden << i;
            QCOMPARE(hidden, wantHidden);
            for (int i = run + 9; i < run + 12; ++i)
                QVERIFY2(changed.contains(i),
                         qPrintable(QStringLiteral("unit %1 of column %2").arg(i).arg(column)));
            for (int i = run; i < run + 9; ++i)
                QVERIFY(!changed.contains(i));
        }
    }

    // A row whose copy the host refuses is reported, loses nothing of the
    // destination, and does not stop the rows after it.
    void refusedCopyLosesNothing()
    {
        XTHost::Story left, right;
        left.mNumber = right.mNumber = 1;
        left.appendVisible(QStringLiteral("one\rtwo\rthree\r"));
        right.appendVisible(QStringLiteral("ONE\rtwo\rTHREE\r"));
        ModelSession session;
        QVERIFY(session.IsReady());
        const XTProjectId lhs = session.OpenBuilt(StoryProject({left}, true), QStringLiteral("l.xprj"));
        const XTProjectId rhs = session.OpenBuilt(StoryProject({right}, true), QStringLiteral("r.xprj"));
        Story leftStory(session.Api().storyNumbered(lhs, 1));
        Story rightStory(session.Api().storyNumbered(rhs, 1));
        QList<TextDiff::UnitPatch> rows = Rows(leftStory.ToString(), rightStory.ToString());
        std::map<int, TextDiff::UnitPatch*> marked = MarkChanges(rows, false);
        QCOMPARE(int(marked.size()), 2);

        // The first paste is refused, the second goes through.
        static int sPastes = 0;
        static XEPasteProc sRealPaste = nullptr;
        sPastes = 0;
        sRealPaste = XT::XEPaste;
        XT::XEPaste = [](XTBoxRef box, int32_t what, int32_t flags, int32_t options) -> XTError
        { return ++sPastes == 1 ? XT::kErrRefused : sRealPaste(box, what, flags, options); };
        const RefusedRows refused = leftStory.ApplyPatches(rightStory, marked);
        XT::XEPaste = sRealPaste;

        QCOMPARE(int(refused.size()), 1);
        QCOMPARE(refused.begin()->first, marked.begin()->first);
        QVERIFY2(refused.begin()->second.contains(QStringLiteral("refused")),
                 qPrintable(refused.begin()->second));
        QCOMPARE(leftStory.ToString(), QStringLiteral("one\rtwo\rTHREE\r"));
    }

    // Every change row applied in one pass makes the destination story the
    // source story: the same host text and the same hidden runs.
    void mergeRandomPairs_data()
    {
        QTest::addColumn<int>("placement");
        QTest::addColumn<bool>("toRight");
        QTest::addColumn<uint>("seed");
        QTest::newRow("to the left, both in boxes: copy and paste") << int(BothInBoxes) << false << 11u;
        QTest::newRow("to the right, both in boxes: copy and paste") << int(BothInBoxes) << true << 12u;
        QTest::newRow("to the left, left in no box: range copy") << int(LeftInNoBox) << false << 13u;
        QTest::newRow("to the right, left in no box: range copy") << int(LeftInNoBox) << true << 14u;
        QTest::newRow("to the left, right in no box: range copy") << int(RightInNoBox) << false << 15u;
        QTest::newRow("to the right, right in no box: range copy") << int(RightInNoBox) << true << 16u;
    }
    void mergeRandomPairs()
    {
        QFETCH(int, placement);
        QFETCH(bool, toRight);
        QFETCH(uint, seed);
        const int pairs = 150;
        StoryPairGenerator generator(seed);
        std::vector<XTHost::Story> lefts, rights;
        for (int n = 1; n <= pairs; ++n)
        {
            auto [left, right] = generator.Next(n);
            lefts.push_back(left);
            rights.push_back(right);
        }
        ModelSession session;
        QVERIFY(session.IsReady());
        const XTProjectId lhs = session.OpenBuilt(StoryProject(lefts, placement != LeftInNoBox), "l.xprj");
        const XTProjectId rhs = session.OpenBuilt(StoryProject(rights, placement != RightInNoBox), "r.xprj");
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);

        CopyCounter counter;
        QStringList failures;
        int merged = 0;
        for (int n = 1; n <= pairs; ++n)
        {
            Story left(session.Api().storyNumbered(lhs, n));
            Story right(session.Api().storyNumbered(rhs, n));
            QList<TextDiff::UnitPatch> rows = Rows(left.ToString(), right.ToString());
            std::map<int, TextDiff::UnitPatch*> marked = MarkChanges(rows, toRight);
            merged += marked.empty() ? 0 : 1;
            QVERIFY((toRight ? right : left).ApplyPatches(toRight ? left : right, marked).empty());

            const QString got = HostForm(*session.HostStory(toRight ? rhs : lhs, n));
            const QString want = HostForm(*session.HostStory(toRight ? lhs : rhs, n));
            if (got != want && failures.size() < 3)
                failures << QStringLiteral("pair %1: %2 became %3, not %4")
                                .arg(n)
                                .arg(HostForm(toRight ? rights[size_t(n - 1)] : lefts[size_t(n - 1)]), got,
                                     want);
            else if (got == want && left.ToString() != right.ToString() && failures.size() < 3)
                failures << QStringLiteral("pair %1: equal in the host, compared texts differ").arg(n);
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
        QVERIFY(merged > pairs * 3 / 4);
        if (placement == BothInBoxes)
        {
            QVERIFY(sClipboardCopies > 0);
            QCOMPARE(sRangeCopies, 0);
        }
        else
        {
            QCOMPARE(sClipboardCopies, 0);
            QVERIFY(sRangeCopies > 0);
        }
    }

    // One host edit of a story and where a tracked offset goes.
    void trackedOffsets_data()
    {
        QTest::addColumn<bool>("insert");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("expected");
        QTest::newRow("insert before") << true << 2 << 3 << 5 << 8;
        QTest::newRow("insert at") << true << 5 << 3 << 5 << 8;
        QTest::newRow("insert after") << true << 6 << 3 << 5 << 5;
        QTest::newRow("delete before") << false << 1 << 2 << 5 << 3;
        QTest::newRow("delete ending at") << false << 3 << 2 << 5 << 3;
        QTest::newRow("delete around") << false << 3 << 4 << 5 << 3;
        QTest::newRow("delete starting at") << false << 5 << 2 << 5 << 5;
        QTest::newRow("delete after") << false << 6 << 2 << 5 << 5;
    }
    void trackedOffsets()
    {
        QFETCH(bool, insert);
        QFETCH(int, position);
        QFETCH(int, count);
        QFETCH(int, offset);
        QFETCH(int, expected);
        ModelSession session;
        QVERIFY(session.IsReady());
        XTHost::Story text, other;
        text.mNumber = 1;
        text.appendVisible(QStringLiteral("0123456789"));
        other.mNumber = 2;
        other.appendVisible(QStringLiteral("abcdefghij"));
        XTHost::Project project;
        project.mStories = {text, other};
        const XTProjectId id = session.OpenBuilt(project, QStringLiteral("offsets.xprj"));
        const HostApi& api = session.Api();
        XTTextRef story = api.storyNumbered(id, 1), another = api.storyNumbered(id, 2);

        int tracked = offset, untouched = offset;
        OffsetParams params;
        params.Add(&tracked);
        PreserveOffset preserve(story, params);
        QVERIFY(params.Params().empty());
        // Events of another text leave the offsets alone.
        QCOMPARE(api.mText->CopyTextRange(story, 0, 4, another, 0), XT::kNoErr);
        QCOMPARE(api.mText->DeleteTextRange(another, 0, 6, 0, 1), XT::kNoErr);
        QCOMPARE(tracked, offset);
        if (insert)
            QCOMPARE(api.mText->CopyTextRange(another, 0, count, story, position), XT::kNoErr);
        else
            QCOMPARE(api.mText->DeleteTextRange(story, position, position + count, 0, 1), XT::kNoErr);
        QCOMPARE(tracked, expected);
        QCOMPARE(untouched, offset);
    }

    // Text that carries a hidden run is reported in pieces, the run through
    // the hidden-text event; together they move an offset by the whole copy.
    void trackedOffsetsWithHiddenRuns()
    {
        ModelSession session;
        QVERIFY(session.IsReady());
        XTHost::Story text, source;
        text.mNumber = 1;
        text.appendVisible(QStringLiteral("0123456789"));
        source.mNumber = 2;
        source.appendVisible(QStringLiteral("ab"));
        source.appendHidden(QStringLiteral("secret"));
        source.appendVisible(QStringLiteral("cd"));
        XTHost::Project project;
        project.mStories = {text, source};
        const XTProjectId id = session.OpenBuilt(project, QStringLiteral("hidden.xprj"));
        XTTextRef story = session.Api().storyNumbered(id, 1);
        int before = 2, at = 4, after = 9;
        OffsetParams params;
        for (int* offset : {&before, &at, &after})
            params.Add(offset);
        {
            PreserveOffset preserve(story, params);
            QCOMPARE(session.Api().mText->CopyTextRange(session.Api().storyNumbered(id, 2), 0, 11, story, 4),
                     XT::kNoErr);
        }
        QCOMPARE(before, 2);
        QCOMPARE(at, 15);
        QCOMPARE(after, 20);
        // Gone with the object: later edits move nothing.
        QCOMPARE(session.Api().mText->DeleteTextRange(story, 0, 3, 0, 1), XT::kNoErr);
        QCOMPARE(before, 2);
    }

    // A story that one side lacks is made there from the other side's, with
    // its number, text and hidden runs: in a box of the same layout where
    // the original runs through one, in no box where the original has none.
    // A project without a layout gets nothing.
    void createMissingStory_data()
    {
        QTest::addColumn<bool>("otherInBox");
        QTest::addColumn<bool>("targetHasLayout");
        QTest::newRow("in a box") << true << true;
        QTest::newRow("in no box, as the original") << false << true;
        QTest::newRow("the target has no layout") << true << false;
    }
    void createMissingStory()
    {
        QFETCH(bool, otherInBox);
        QFETCH(bool, targetHasLayout);
        ModelSession session;
        QVERIFY(session.IsReady());
        StoryPairGenerator generator(5);
        XTHost::Story story = generator.Next(7).first;
        story.appendHidden(QStringLiteral("tail"));
        XTHost::Project target = StoryProject({}, true);
        if (!targetHasLayout)
            target.mLayouts.clear();
        const XTProjectId lhs = session.OpenBuilt(target, QStringLiteral("l.xprj"));
        const XTProjectId rhs =
            session.OpenBuilt(StoryProject({story}, otherInBox), QStringLiteral("r.xprj"));
        Story missing{long(lhs)};
        Story other(session.Api().storyNumbered(rhs, 7));
        std::map<int, TextDiff::UnitPatch*> none;
        QVERIFY(missing.ApplyPatches(other, none).empty());
        QCOMPARE(missing.IsValid(), targetHasLayout);
        if (!targetHasLayout)
        {
            QCOMPARE(session.Api().mText->GetFirstStoryEntry(lhs), intptr_t(0));
            QVERIFY(!session.Api().mProject->IsProjectModified(lhs));
            return;
        }
        QCOMPARE(missing.ToString(), other.ToString());
        QCOMPARE(session.Api().storyNumbered(lhs, 7), missing.Text());
        QCOMPARE(HostForm(*session.HostStory(lhs, 7)), HostForm(story));
        long box = XT::kNoBox;
        QCOMPARE(missing.GetUsage(&box) != XT::kNoDocNumber, otherInBox);
        if (otherInBox)
            QCOMPARE(session.Api().mBox->GetBoxDocument(XTBoxRef(box)), session.LayoutNumbered(lhs, 1));
        else
            QVERIFY(session.HostStory(lhs, 7)->mBoxes.empty());
    }
};

QTEST_GUILESS_MAIN(TestStoryMerge)
#include "tst_storymerge.moc"
