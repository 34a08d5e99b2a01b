#include "ComparisonReport.h"

#include "DiffModel.h"
#include "NodeDifferVisitor.h"
#include "ProjectTreeNode.h"

#include <memory>
#include <vector>

namespace
{

const QString kHiddenOpen = QStringLiteral("\u27E6hidden: ");
const QChar kHiddenClose(0x27E7);

QString KindOf(ProjectTreeNodeBase& node)
{
    if (dynamic_cast<PlaceholderNode*>(&node))
        return QStringLiteral("folder");
    if (dynamic_cast<ProjectTreeNode<Project>*>(&node))
        return QStringLiteral("project");
    if (dynamic_cast<ProjectTreeNode<Layout>*>(&node))
        return QStringLiteral("layout");
    if (dynamic_cast<ProjectTreeNode<Spread>*>(&node))
        return QStringLiteral("spread");
    if (dynamic_cast<ProjectTreeNode<Page>*>(&node))
        return QStringLiteral("page");
    if (dynamic_cast<ProjectTreeNode<Box>*>(&node))
        return QStringLiteral("box");
    if (dynamic_cast<ProjectTreeNode<Story>*>(&node))
        return QStringLiteral("story");
    if (dynamic_cast<ProjectTreeNode<Asset>*>(&node))
        return QStringLiteral("asset");
    return QStringLiteral("folder");
}

// Appends [from, to) to a list of stretches, joining it to the last one when
// they touch.
void AddStretch(QVector<QPair<int, int>>& stretches, int from, int to)
{
    if (from >= to)
        return;
    if (!stretches.isEmpty() && stretches.last().second == from)
        stretches.last().second = to;
    else
        stretches.append({from, to});
}

struct Walk
{
    const ProjectTree& mTree;
    bool mRows;
    bool mAll;
    ComparisonReport& mReport;

    // Whether anything below (or at) this node is worth a line.
    bool Shows(ProjectTreeNodeBase& node) const
    {
        if (mAll)
            return true;
        if (node.NodeType() != Identical && node.NodeType() != Folder)
            return true;
        for (int i = 0; i < node.ChildCount(); ++i)
            if (Shows(*node.Child(i)))
                return true;
        return false;
    }

    // The project pair's own text holds the two paths, which always differ:
    // what counts is what lies below it.
    void Visit(ProjectTreeNodeBase& node, int depth, QStringList path)
    {
        if (depth > 0 && !Shows(node))
            return;
        ReportItem item;
        item.mDepth = depth;
        item.mName = node.Data(0).toString();
        path << item.mName;
        item.mPath = path;
        item.mKind = KindOf(node);
        item.mStatus = depth > 0 ? node.NodeType() : (mTree.RollupOf(&node).Total() ? HasEdits : Identical);
        item.mRollup = mTree.RollupOf(&node);
        if (depth > 0 &&
            (item.mStatus == OnlyInLeft || item.mStatus == OnlyInRight || item.mStatus == HasEdits))
            ++mReport.mDifferences;
        if (mRows && depth > 0 && item.mStatus == HasEdits)
        {
            item.mHasRows = true;
            item.mRows = RowsOf(node);
        }
        mReport.mItems.append(item);
        for (int i = 0; i < node.ChildCount(); ++i)
            Visit(*node.Child(i), depth + 1, path);
    }

    static QVector<ReportRow> RowsOf(ProjectTreeNodeBase& node)
    {
        QVector<ReportRow> rows;
        std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(node));
        if (!model)
            return rows;
        int starts[2] = {0, 0};
        for (int row = 0; row < model->rowCount(); ++row)
        {
            const int lengths[2] = {model->data(model->index(row, 0)).toString().size(),
                                    model->data(model->index(row, 1)).toString().size()};
            if (!model->IsEquality(model->index(row, 0)))
            {
                ReportRow reported;
                reported.mNumber = row + 1;
                if (model->HasVerticalHeader())
                    reported.mName = model->headerData(row, Qt::Vertical).toString();
                for (int side = 0; side < 2; ++side)
                    reported.mSides[side] = ComparisonReport::CellOf(*model, row, side, starts[side]);
                reported.mFormatting = model->FormatChanges(row);
                rows.append(reported);
            }
            starts[0] += lengths[0];
            starts[1] += lengths[1];
        }
        return rows;
    }
};

} // namespace

ComparisonReport ComparisonReport::Make(const QString& left, const QString& right, const ProjectTree& tree,
                                        bool rows, bool all)
{
    ComparisonReport report;
    report.mFiles[0] = left;
    report.mFiles[1] = right;
    ProjectTreeNodeBase* project = tree.Root()->Child(0);
    report.mTotal = tree.RollupOf(project);
    Walk{tree, rows, all, report}.Visit(*project, 0, QStringList());
    return report;
}

// The cell as the explorer shows it, with the explorer's own styles: the
// units it colours as changes, and its hidden units, whose runs come written
// out (RevealedText) in place of their masked units.
ReportCell ComparisonReport::CellOf(const DiffModel& model, int row, int column, int start)
{
    const QModelIndex index = model.index(row, column);
    const QString cell = model.data(index).toString();
    const QString revealed = model.RevealedText(row, column);
    QVector<QTextLayout::FormatRange> ranges;
    model.StyleText(index, ranges);

    const int length = cell.size();
    std::vector<bool> changed(size_t(length), false);
    std::vector<bool> hidden(size_t(length), false);
    std::vector<bool> restyled(size_t(length), false);
    for (const QTextLayout::FormatRange& range : qAsConst(ranges))
    {
        const bool isChange = range.format.property(DiffModel::kChangeProperty).toBool();
        const bool isHidden = range.format.property(DiffModel::kHiddenProperty).toBool();
        const bool isRestyled = range.format.property(PatchTextStyle::kFormatProperty).toBool();
        for (int i = qMax(0, range.start); i < qMin(length, range.start + range.length); ++i)
        {
            changed[size_t(i)] = changed[size_t(i)] || isChange;
            hidden[size_t(i)] = hidden[size_t(i)] || isHidden;
            restyled[size_t(i)] = restyled[size_t(i)] || isRestyled;
        }
    }

    ReportCell result;
    result.mStart = start;
    result.mEnd = start + length;
    QString& text = result.mText;
    int at = 0; // in `revealed`
    for (int i = 0; i < length;)
    {
        if (!hidden[size_t(i)])
        {
            text += cell.at(i);
            if (changed[size_t(i)])
                AddStretch(result.mChanges, text.size() - 1, text.size());
            if (restyled[size_t(i)])
                AddStretch(result.mRestyled, text.size() - 1, text.size());
            ++i;
            ++at;
            continue;
        }
        int stretch = i;
        while (stretch < length && hidden[size_t(stretch)])
            ++stretch;
        // A run is its marker unit and its text; the row may hold only part
        // of it, but the written-out form always holds the whole run.
        const int close = revealed.indexOf(kHiddenClose, at);
        int units = stretch - i;
        const int from = text.size();
        if (revealed.midRef(at).startsWith(kHiddenOpen) && close > at)
        {
            units = qMin(units, close - at - kHiddenOpen.size() + 1);
            text += revealed.midRef(at, close + 1 - at);
            at = close + 1;
        }
        else
        {
            // Not what RevealedText writes: show the masked units as the
            // explorer draws them.
            text += QString(units, QChar(0xB7));
            at += units;
        }
        AddStretch(result.mHidden, from, text.size());
        for (int k = i; k < i + units; ++k)
            if (changed[size_t(k)])
            {
                AddStretch(result.mChanges, from, text.size());
                break;
            }
        i += units;
    }
    return result;
}

QString ComparisonReport::StatusName(int status)
{
    switch (status)
    {
    case OnlyInLeft:
        return QStringLiteral("onlyLeft");
    case OnlyInRight:
        return QStringLiteral("onlyRight");
    case Identical:
        return QStringLiteral("identical");
    case HasEdits:
        return QStringLiteral("edited");
    default:
        return QStringLiteral("none");
    }
}

QString ComparisonReport::Mark(int status)
{
    switch (status)
    {
    case OnlyInLeft:
        return QStringLiteral("<");
    case OnlyInRight:
        return QStringLiteral(">");
    case Identical:
        return QStringLiteral("=");
    case HasEdits:
        return QStringLiteral("~");
    default:
        return QStringLiteral(" ");
    }
}
