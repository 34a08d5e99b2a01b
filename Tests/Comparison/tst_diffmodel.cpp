// The patch table model on hand-worked pairs of texts, in both modes, and
// under long random sequences of applying, undoing, redoing and saving.

#include "ApplyCommand.h"
#include "Corvable.h"
#include "DiffModel.h"
#include "NameValueDict.h"

#include <QAbstractItemModelTester>
#include "UserSettings.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

#include <memory>
#include <random>
#include <set>

namespace
{

const QChar kCR(13);

// Entities with a fixed text that record what they were asked to apply.
struct Recorder
{
    std::vector<std::set<int>> mCalls;
};

class TextEntity : public Corvable
{
public:
    TextEntity(QString text, QString name) : mText(std::move(text)), mName(std::move(name)) {}
    QString ToString() const override { return mText; }
    QString Name() const override { return mName; }
    bool IsValid() const override { return true; }
    bool CanApply(int row) const override { return row != mRefused; }
    RefusedRows ApplyPatches(Corvable&, std::map<int, TextDiff::UnitPatch*>& rows) override
    {
        std::set<int> keys;
        for (const auto& entry : rows)
            keys.insert(entry.first);
        mRecorder.mCalls.push_back(keys);
        return RefusedRows();
    }

    QString mText;
    QString mName;
    int mRefused = -1;
    Recorder mRecorder;
};

class DictEntity : public Corvable, public NameValueDict<QString>
{
public:
    DictEntity(const QStringList& names, const QStringList& values) : NameValueDict<QString>(13)
    {
        for (int i = 0; i < names.size(); ++i)
            Add(names[i], values[i]);
    }
    QString ToString() const override { return Values(); }
    QString Name() const override { return QStringLiteral("dict"); }
    bool IsValid() const override { return true; }
    RefusedRows ApplyPatches(Corvable&, std::map<int, TextDiff::UnitPatch*>&) override { return {}; }
    using NameValueDict<QString>::Name;
};

QString Settings(const QString& key, const QVariant& value)
{
    QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT")).setValue(key, value);
    UserSettings::Get().Reload();
    return key;
}

// The cells as "left|right" per row.
QStringList Cells(const DiffModel& model)
{
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row)
        cells << model.index(row, 0).data().toString().replace(kCR, QLatin1Char('~')) + QLatin1Char('|') +
                     model.index(row, 1).data().toString().replace(kCR, QLatin1Char('~'));
    return cells;
}

// The format ranges of a cell as "start+length:c" (change) or ":e" (equality).
QStringList Styles(const DiffModel& model, int row, int column)
{
    QVector<QTextLayout::FormatRange> ranges;
    model.StyleText(model.index(row, column), ranges);
    const QColor change = QColor(Qt::darkRed);
    QStringList styles;
    for (const QTextLayout::FormatRange& range : ranges)
        styles << QStringLiteral("%1+%2:%3")
                      .arg(range.start)
                      .arg(range.length)
                      .arg(range.format.foreground().color() == change ? 'c' : 'e');
    return styles;
}

} // namespace

class TestDiffModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT")).clear();
        UserSettings::Get().Reload();
    }

    void storyRows()
    {
        TextEntity left(QStringLiteral("one\rtwo\rthree"), QStringLiteral("L"));
        TextEntity right(QStringLiteral("one\r2\rthree"), QStringLiteral("R"));
        DiffModel model(left, right);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.FastCheck(), HasEdits);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.CompleteDiff();
        QCOMPARE(reset.count(), 1);
        QVERIFY(!model.HasVerticalHeader());
        QCOMPARE(Cells(model), QStringList({"one~|one~", "two~|2~", "three|three"}));
        QVERIFY(!model.index(0, 0).data(Qt::BackgroundRole).isValid());
        QCOMPARE(model.index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::lightGray));
        QVERIFY(!model.index(1, 1).data(Qt::ToolTipRole).isValid());
        QCOMPARE(Styles(model, 1, 0), QStringList({"0+3:c", "3+1:e"}));
        QCOMPARE(Styles(model, 1, 1), QStringList({"0+1:c", "1+1:e"}));
        QCOMPARE(Styles(model, 0, 0), QStringList());
        QCOMPARE(Styles(model, 2, 1), QStringList());
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("L"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("R"));
        QVERIFY(!model.headerData(2, Qt::Horizontal).isValid());
        QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

        // Applying row 1 to the left shows the right text there, plain.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.UndoStack()->push(new ApplyCommand(&model, model.index(1, 1), Left));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), model.index(1, 0));
        QCOMPARE(changed[0][1].toModelIndex(), model.index(1, 1));
        QCOMPARE(Cells(model)[1], QStringLiteral("2~|2~"));
        QVERIFY(!model.index(1, 0).data(Qt::BackgroundRole).isValid());
        QCOMPARE(Styles(model, 1, 0), QStringList());
        QCOMPARE(model.UndoStack()->undoText(), QStringLiteral("Apply Left"));
        model.UndoStack()->undo();
        QCOMPARE(Cells(model)[1], QStringLiteral("two~|2~"));
        QCOMPARE(Styles(model, 1, 0), QStringList({"0+3:c", "3+1:e"}));

        // Rows and history go with a reset; the rows come back from the texts.
        model.UndoStack()->push(new ApplyCommand(&model, model.index(1, 0), Right));
        left.mText = QStringLiteral("one\r2\rthree");
        model.Reset();
        QCOMPARE(reset.count(), 2);
        QCOMPARE(model.UndoStack()->count(), 0);
        QCOMPARE(Cells(model), QStringList({"one~2~|one~2~", "three|three"}));
        QCOMPARE(model.FastCheck(), Identical);
    }

    // Leading text before a row's first change, and text after the last row.
    void storyLeadAndTail()
    {
        for (const QString& end : {QString(), QStringLiteral("\rthe end")})
        {
            TextEntity left(QStringLiteral("intro\rkeep this part x tail") + end, QStringLiteral("L"));
            TextEntity right(QStringLiteral("intro\rkeep this part y tail") + end, QStringLiteral("R"));
            DiffModel model(left, right);
            model.CompleteDiff();
            // The unchanged " tail" after the last change ends its paragraph:
            // it is in the change's row. A paragraph after that follows as a
            // row of its own: the table shows the whole text.
            if (end.isEmpty())
            {
                QCOMPARE(Cells(model), QStringList({"intro~|intro~", "keep this part x tail|keep this part y tail"}));
                QCOMPARE(Styles(model, 1, 0), QStringList({"0+15:e", "15+1:c", "16+5:e"}));
                continue;
            }
            QCOMPARE(Cells(model), QStringList({"intro~|intro~", "keep this part x tail~|keep this part y tail~",
                                                "the end|the end"}));
            QVERIFY(model.IsEquality(model.index(2, 0)));
            QCOMPARE(Styles(model, 1, 0), QStringList({"0+15:e", "15+1:c", "16+6:e"}));
        }
    }

    // Story text is compared by whole words unless the setting says
    // characters; a property's value is always one token.
    void granularity_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("dictionary");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QStringList>("leftStyles");

        QTest::newRow("words by default")
            << QString() << false << "The harbour opened\r"
            << "The harbor opened\r" << QStringList({"The harbour opened~|The harbor opened~"})
            << QStringList({"0+4:e", "4+7:c", "11+8:e"});
        QTest::newRow("words") << "words" << false << "The harbour opened\r"
                               << "The harbor opened\r"
                               << QStringList({"The harbour opened~|The harbor opened~"})
                               << QStringList({"0+4:e", "4+7:c", "11+8:e"});
        QTest::newRow("characters") << "characters" << false << "The harbour opened\r"
                                    << "The harbor opened\r"
                                    << QStringList({"The harbour opened~|The harbor opened~"})
                                    << QStringList({"0+9:e", "9+1:c", "10+9:e"});
        QTest::newRow("property value as a whole")
            << "characters" << true << "388 pt"
            << "428 pt" << QStringList({"388 pt~|428 pt~"}) << QStringList({"0+6:c"});
    }
    void granularity()
    {
        QFETCH(QString, setting);
        QFETCH(bool, dictionary);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QStringList, cells);
        QFETCH(QStringList, leftStyles);
        if (!setting.isEmpty())
            Settings(QLatin1String(DiffModel::kGranularityKey), setting);
        TextEntity leftText(left, QStringLiteral("L")), rightText(right, QStringLiteral("R"));
        DictEntity leftDict({"Height"}, {left}), rightDict({"Height"}, {right});
        const std::unique_ptr<DiffModel> model = dictionary
                                                     ? std::make_unique<DiffModel>(leftDict, rightDict)
                                                     : std::make_unique<DiffModel>(leftText, rightText);
        model->CompleteDiff();
        QCOMPARE(Cells(*model), cells);
        QCOMPARE(Styles(*model, 0, 0), leftStyles);
    }

    void dictionaryRows()
    {
        DictEntity left({"A", "B"}, {"a=1", "b=2"});
        DictEntity right({"A", "B"}, {"a=1", "b=3"});
        DiffModel model(left, right);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.HasVerticalHeader());
        model.CompleteDiff();
        QCOMPARE(Cells(model), QStringList({"a=1~|a=1~", "b=2~|b=3~"}));
        // A property's value changes as a whole, without its line end.
        QCOMPARE(Styles(model, 1, 0), QStringList({"0+3:c"}));
        QCOMPARE(Styles(model, 1, 1), QStringList({"0+3:c"}));
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("B"));
        model.UndoStack()->push(new ApplyCommand(&model, model.index(1, 0), Right));
        QCOMPARE(Cells(model)[1], QStringLiteral("b=2~|b=2~"));

        // The side with more properties names the rows.
        DictEntity longer({"A", "B", "C"}, {"a=1", "b=2", "c"});
        DiffModel more(left, longer), fewer(longer, left);
        QCOMPARE(more.headerData(2, Qt::Vertical).toString(), QStringLiteral("C"));
        QCOMPARE(fewer.headerData(2, Qt::Vertical).toString(), QStringLiteral("C"));
        QVERIFY(!fewer.headerData(3, Qt::Vertical).isValid());
    }

    void coloursFromSettings()
    {
        TextEntity left(QStringLiteral("a"), QStringLiteral("L")),
            right(QStringLiteral("b"), QStringLiteral("R"));
        DiffModel model(left, right);
        model.CompleteDiff();
        Settings(QStringLiteral("prefs/Colors/diffBG"), QColor(1, 2, 3));
        Settings(QStringLiteral("prefs/Colors/diffFG"), QColor(Qt::blue));
        Settings(QStringLiteral("prefs/Colors/equalityFG"), QColor(Qt::yellow));
        QCOMPARE(model.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(1, 2, 3));
        QVector<QTextLayout::FormatRange> ranges;
        model.StyleText(model.index(0, 0), ranges);
        QCOMPARE(ranges.size(), 1);
        QCOMPARE(ranges[0].format.foreground().color(), QColor(Qt::blue));
    }

    void canApply()
    {
        TextEntity left(QStringLiteral("a\rb\rc\r"), QStringLiteral("L")),
            right(QStringLiteral("x\ry\rz\r"), "R");
        right.mRefused = 1;
        DiffModel model(left, right);
        model.CompleteDiff();
        QVERIFY(model.CanApply(model.index(0, 0)));
        QVERIFY(!model.CanApply(model.index(1, 0)));
        QVERIFY(!model.CanApply(QModelIndex()));
        DiffModel other(left, right);
        other.CompleteDiff();
        QVERIFY(!model.CanApply(other.index(0, 0)));
    }

    // Random sequences of user actions against a plain reference: the row
    // flags, the displayed texts, the dirty states and what Save hands to
    // each side always agree with it.
    void randomSequences_data()
    {
        QTest::addColumn<uint>("seed");
        for (uint seed = 1; seed <= 4; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }
    void randomSequences()
    {
        QFETCH(uint, seed);
        TextEntity left(QStringLiteral("p0\ra1\rp2\ra3\rp4\ra5\rp6\ra7\r"), QStringLiteral("L"));
        TextEntity right(QStringLiteral("p0\rb1\rp2\rbb3\rp4\r5\rp6\rb7\r"), QStringLiteral("R"));
        DiffModel model(left, right);
        model.CompleteDiff();
        const int rows = model.rowCount();
        QCOMPARE(rows, 8);
        QStringList leftCells, rightCells;
        for (int row = 0; row < rows; ++row)
        {
            leftCells << model.index(row, 0).data().toString();
            rightCells << model.index(row, 1).data().toString();
        }

        struct Command
        {
            int mRow;
            ApplyDirection mDirection;
        };
        std::vector<Command> commands; // the reference stack
        size_t index = 0;
        long clean = 0; // -1: no clean state reachable
        std::vector<bool> appliedLeft(size_t(rows), false), appliedRight(size_t(rows), false);
        auto set = [&](const Command& c, bool value)
        { (c.mDirection == Left ? appliedLeft : appliedRight)[size_t(c.mRow)] = value; };

        std::mt19937 random(seed);
        for (int step = 0; step < 1500; ++step)
        {
            const uint32_t action = random() % 10;
            if (action < 4)
            {
                const Command c{int(random() % uint32_t(rows)), random() % 2 ? Left : Right};
                if (clean > long(index))
                    clean = -1;
                commands.resize(index);
                commands.push_back(c);
                ++index;
                set(c, true);
                model.UndoStack()->push(
                    new ApplyCommand(&model, model.index(c.mRow, int(random() % 2)), c.mDirection));
            }
            else if (action < 6)
            {
                if (index > 0)
                    set(commands[--index], false);
                model.UndoStack()->undo();
            }
            else if (action < 8)
            {
                if (index < commands.size())
                    set(commands[index++], true);
                model.UndoStack()->redo();
            }
            else
            {
                const size_t leftCalls = left.mRecorder.mCalls.size();
                const size_t rightCalls = right.mRecorder.mCalls.size();
                const bool dirty = clean != long(index);
                QCOMPARE(model.Save(), QStringList());
                std::set<int> toLeft, toRight;
                for (int row = 0; row < rows; ++row)
                {
                    if (appliedLeft[size_t(row)])
                        toLeft.insert(row);
                    if (appliedRight[size_t(row)])
                        toRight.insert(row);
                }
                QCOMPARE(left.mRecorder.mCalls.size(), leftCalls + (dirty && !toLeft.empty() ? 1 : 0));
                QCOMPARE(right.mRecorder.mCalls.size(), rightCalls + (dirty && !toRight.empty() ? 1 : 0));
                if (left.mRecorder.mCalls.size() > leftCalls)
                    QCOMPARE(left.mRecorder.mCalls.back(), toLeft);
                if (right.mRecorder.mCalls.size() > rightCalls)
                    QCOMPARE(right.mRecorder.mCalls.back(), toRight);
                clean = long(index);
            }

            const bool dirty = clean != long(index);
            bool anyLeft = false, anyRight = false;
            for (const Command& c : commands)
                (c.mDirection == Left ? anyLeft : anyRight) = true;
            QCOMPARE(model.IsDirty(), dirty);
            QCOMPARE(model.IsLeftDirty(), dirty && anyLeft);
            QCOMPARE(model.IsRightDirty(), dirty && anyRight);
            QCOMPARE(model.UndoStack()->index(), int(index));
            for (int row = 0; row < rows; ++row)
            {
                const TextDiff::UnitPatch& patch = model.Patches()[row];
                QCOMPARE(patch.appliedLeft, bool(appliedLeft[size_t(row)]));
                QCOMPARE(patch.appliedRight, bool(appliedRight[size_t(row)]));
                QCOMPARE(model.index(row, 0).data().toString(),
                         appliedLeft[size_t(row)] ? rightCells[row] : leftCells[row]);
                QCOMPARE(model.index(row, 1).data().toString(),
                         appliedRight[size_t(row)] ? leftCells[row] : rightCells[row]);
                const bool equality =
                    !patch.isChange || appliedLeft[size_t(row)] || appliedRight[size_t(row)];
                QCOMPARE(model.IsEquality(model.index(row, 0)), equality);
                QCOMPARE(model.index(row, 1).data(Qt::BackgroundRole).isValid(), !equality);
            }
        }
    }
};

QTEST_MAIN(TestDiffModel)
#include "tst_diffmodel.moc"
