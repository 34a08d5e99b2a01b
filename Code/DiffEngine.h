#pragma once

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

namespace TextDiff
{

enum Operation
{
    DELETE = 0,
    INSERT = 1,
    EQUAL = 2
};

class Diff
{
public:
    Operation operation = EQUAL;
    QString text;
    bool isContext = false;
    // A deletion and an insertion of the same text that stand for text kept
    // on both sides but formatted differently (rows_restyle).
    bool isFormat = false;

    Diff() = default;
    Diff(Operation operation, const QString& text, bool isContext);
    Diff(const Diff& other) = default;
    Diff& operator=(const Diff& other) = default;

    QString toString() const;
    static QString strOperation(Operation op);

    bool operator==(const Diff& other) const;
    bool operator!=(const Diff& other) const;
};

// Appends an edit to a list of them; the engine's sources build their lists
// with it.
inline void appendDiff(QList<Diff>& diffs, Operation op, const QString& text)
{
    diffs.append(Diff(op, text, false));
}

class Patch
{
public:
    QList<Diff> diffs;
    int start1 = 0;
    int start2 = 0;
    int length1 = 0;
    int length2 = 0;

    Patch() = default;
    bool isNull() const;
    QString toString() const;
};

class UnitPatch
{
public:
    QList<Patch> patches;
    int length1 = 0;
    int length2 = 0;
    bool isChange = false;
    bool appliedRight = false;
    bool appliedLeft = false;

    explicit UnitPatch(bool isChange = false, bool appliedRight = false, bool appliedLeft = false);
    UnitPatch(const UnitPatch& other) = default;
    UnitPatch& operator=(const UnitPatch& other) = default;
};

// Cuts an equality at carriage returns; the caller owns and deletes what lands in parts.
bool SplitDiff(Diff& diff, Diff* (&parts)[2], bool atStart);

// What the patch table aligns when it compares story text: single UTF-16 units, or whole words (a run of
// letters, digits and their marks; every other unit is a word of its own).
enum class Granularity
{
    Characters,
    Words
};

class DiffEngine
{
public:
    // The points one front of the path search reached, step by step: for step d the furthest x on each
    // diagonal k = -d, -d + 2, ..., d (the point itself is (x, x - k)). The endpoints of a step are exactly
    // these points, so membership needs no set; a point's snake start follows from step d - 1.
    class FrontMap
    {
    public:
        int size() const { return int(mSteps.size()); }
        bool contains(int d, int x, int y) const;
        int furthest(int d, int k) const { return mSteps[size_t(d)][size_t((k + d) / 2)]; }
        int snakeStart(int d, int k) const;
        const int* step(int d) const { return mSteps[size_t(d)].get(); }
        // The d + 1 values of the new step, for the caller to fill in.
        int* appendStep(int d);
        void truncate(int count);
        qint64 storedBytes() const { return mBytes; }

    private:
        std::vector<std::unique_ptr<int[]>> mSteps;
        qint64 mBytes = 0;
    };

    float Diff_Timeout = 1.0f;
    short Diff_EditCost = 4;
    short Diff_DualThreshold = 32;
    float Match_Threshold = 0.5f;
    int Match_Distance = 1000;
    float Patch_DeleteThreshold = 0.5f;
    short Patch_Margin = 4;
    int Match_MaxBits = 32;

    // The path search keeps every step of its fronts, and so rebuilds its path directly, while they stay
    // within this many bytes; past it, it runs both fronts again to their first overlap keeping only some of
    // their steps, which gives a shortest edit script in bounded memory. Small enough that the process stays
    // within a few MB of a plain file diff's.
    qint64 Diff_FrontBudget = 6LL * 1024 * 1024;
    // What the search past that budget may keep: this many bytes per unit of both texts, up to 64 MB, and
    // at least Diff_FrontBudget. Keeping more steps means searching less twice, but writing what is kept
    // costs more than that saves on the texts measured (bench_diffengine), so by default it keeps no more.
    short Diff_FrontBytesPerUnit = 0;

    DiffEngine() = default;

    // Core differencing
    QList<Diff> diff_main(const QString& text1, const QString& text2, bool checklines);
    QList<Diff> diff_main(const QString& text1, const QString& text2);
    QList<Diff> diff_compute(QString text1, QString text2, bool checklines);
    QList<Diff> diff_map(const QString& text1, const QString& text2);
    QList<Diff> diff_path1(const FrontMap& v_map, const QString& text1, const QString& text2);
    QList<Diff> diff_path2(const FrontMap& v_map, const QString& text1, const QString& text2);
    QStringList diff_halfMatch(const QString& text1, const QString& text2);
    QStringList diff_halfMatchI(const QString& longtext, const QString& shorttext, int i);
    QList<QVariant> diff_linesToChars(const QString& text1, const QString& text2);
    QString diff_linesToCharsMunge(const QString& text, QStringList& lineArray, QMap<QString, int>& lineHash);
    void diff_charsToLines(QList<Diff>& diffs, const QStringList& lineArray);
    int diff_commonPrefix(const QString& text1, const QString& text2);
    int diff_commonSuffix(const QString& text1, const QString& text2);

    // Clean-ups and conversions
    void diff_cleanupMerge(QList<Diff>& diffs);
    void diff_cleanupSemantic(QList<Diff>& diffs);
    void diff_cleanupSemanticLossless(QList<Diff>& diffs);
    int diff_cleanupSemanticScore(const QString& one, const QString& two);
    void diff_cleanupEfficiency(QList<Diff>& diffs);
    void diff_cleanupSplit(QList<Diff>& diffs);
    int diff_levenshtein(const QList<Diff>& diffs);
    int diff_xIndex(const QList<Diff>& diffs, int loc);
    QString diff_text1(const QList<Diff>& diffs);
    QString diff_text2(const QList<Diff>& diffs);
    QString diff_prettyHtml(const QList<Diff>& diffs);
    QString diff_toDelta(const QList<Diff>& diffs);
    QList<Diff> diff_fromDelta(const QString& text1, const QString& delta);

    // The patch table's rows of two texts: rows_diff, rows_cleanup, then patch_make. Story text is
    // compared at the granularity given; per line (a property list, one property a line) always unit by
    // unit, with a row per line.
    // Where an equality of two texts at start1 (left) and start2 (right), of `length` units, is formatted
    // differently on the two sides: stretches [from, to) of it, in order.
    using Restyled = std::function<QVector<QPair<int, int>>(int start1, int start2, int length)>;
    QList<UnitPatch> rows_make(const QString& left, const QString& right, Granularity granularity,
                               bool perLine, const Restyled& restyled = Restyled());
    // rows_make's third step, where formatting is compared: each restyled stretch of an equality becomes a
    // deletion and an insertion of its text, marked isFormat, so that it makes a change row of its own kind.
    void rows_restyle(QList<Diff>& diffs, const Restyled& restyled);
    // rows_make's first step: the diffs of the two texts, before any clean-up.
    QList<Diff> rows_diff(const QString& left, const QString& right, Granularity granularity, bool perLine);
    // rows_make's second step: per line every equality is cut at its line ends; characters get the
    // efficiency clean-up; words none, since an equality of one word between two changes is worth keeping.
    void rows_cleanup(QList<Diff>& diffs, Granularity granularity, bool perLine);
    // The diffs of two texts aligned word by word: each distinct word stands for one unit while the path
    // is searched. Unit by unit, without clean-up, when the texts hold more distinct words than there are
    // units to stand for them.
    QList<Diff> diff_words(const QString& text1, const QString& text2);

    // Patches and rows
    QList<UnitPatch> patch_make(const QString& text1, const QList<Diff>& diffs, bool perLine);
    QList<UnitPatch> patch_make(const QString& text1, const QString& text2);
    QList<UnitPatch> patch_make(const QList<Diff>& diffs);
    QList<UnitPatch> patch_make(const QString& text1, const QString& text2, const QList<Diff>& diffs);
    QString patch_toText(const QList<Patch>& patches);
    QList<Patch> patch_fromText(const QString& text);

    // Matching and application
    int match_main(const QString& text, const QString& pattern, int loc);
    int match_bitap(const QString& text, const QString& pattern, int loc);
    QMap<QChar, int> match_alphabet(const QString& pattern);
    double match_bitapScore(int e, int x, int loc, const QString& pattern);
    void patch_addContext(Patch& patch, const QString& text);
    void patch_splitMax(QList<Patch>& patches);
    QString patch_addPadding(QList<Patch>& patches);
    QList<Patch> patch_deepCopy(QList<Patch>& patches);
    QPair<QString, QVector<bool>> patch_apply(QList<Patch>& patches, const QString& text);

    // The percent-encoded form used by deltas and patch text. Unpaired surrogates, which a diff may leave
    // at its edges, are written as three-byte sequences so that the text reads back unchanged.
    static QString encodeText(const QString& text);
    static QString decodeText(const QString& encoded);

private:
    class PathSearch;

    bool findFootstep(const FrontMap& other, int lastStep, int k, int lo, int hi, int& hitX,
                      int& hitStep) const;
    // The steps of diff_compute's line mode and of diff_cleanupMerge, patch_splitMax and match_bitap.
    void rediffReplacedLines(QList<Diff>& diffs);
    void mergeRuns(QList<Diff>& diffs);
    int mergeRun(QList<Diff>& diffs, int first, int end, QString& textDelete, QString& textInsert);
    bool slideEdits(QList<Diff>& diffs);
    bool splitOff(Patch& bigpatch, Patch& patch, int& start1, int& start2, int patchSize);
    double bitapThreshold(const QString& text, const QString& pattern, int loc);
    int bitapReach(int d, int loc, const QString& pattern, double threshold, int binMax);
    int maxBits() const;
};

} // namespace TextDiff
