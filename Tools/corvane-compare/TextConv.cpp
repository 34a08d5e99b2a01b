#include "TextConv.h"

#include "Merge.h"
#include "NameValueDict.h"
#include "ProjectTreeNode.h"
#include "Story.h"

#include <QTextStream>

namespace TextConv
{

namespace
{

// A value or a paragraph on one line: a line break inside it is shown, so
// that a change of one line stays one line of the output.
QString OneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QStringLiteral("\u21b5"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\u00b6"));
    return text;
}

// The story's text with each hidden run written out, as corvane-compare
// --rows writes it.
QString Revealed(const ::Story& story)
{
    const QString unmasked = story.UnmaskedText();
    QString text;
    long at = 0;
    for (const auto& [start, extent] : story.HiddenRuns())
    {
        text += unmasked.mid(int(at), int(start - at));
        text += QStringLiteral("\u27e6hidden: %1\u27e7").arg(unmasked.mid(int(start + 1), int(extent - 1)));
        at = start + extent;
    }
    return text + unmasked.mid(int(at));
}

int Depth(const ProjectTreeNodeBase& node)
{
    int depth = 0;
    for (const TreeNode* at = node.mParent; at && at->mParent; at = at->mParent)
        ++depth;
    return depth;
}

void WriteItem(const ProjectTreeNodeBase& node, const Corvable& item, QTextStream& out)
{
    // Depth 1 is the project pair, below the tree's root.
    const QString indent(2 * qMax(0, Depth(node) - 1), QLatin1Char(' '));
    QString kind = Merge::KindOf(node);
    if (kind.endsWith(QLatin1String("ies")))
        kind = kind.left(kind.size() - 3) + QLatin1Char('y');
    else if (kind.endsWith(QLatin1String("xes")))
        kind.chop(2);
    else if (kind.endsWith(QLatin1Char('s')) && kind != QLatin1String("project"))
        kind.chop(1);
    // A project's name and first property are its file's path, which says
    // where this copy lies, not what it holds.
    const bool project = kind == QLatin1String("project");
    out << indent << kind << (project ? QString() : QStringLiteral(": ") + OneLine(item.Name())) << '\n';
    if (const auto* properties = dynamic_cast<const NameValueDict<QString>*>(&item))
        for (size_t i = project ? 1 : 0; i < properties->Count(); ++i)
            out << indent << "  " << properties->Name(i) << ": " << OneLine(properties->Value(i)) << '\n';
    if (const auto* story = dynamic_cast<const ::Story*>(&item))
    {
        QStringList paragraphs = Revealed(*story).split(QLatin1Char('\r'));
        // The paragraph end that closes the text opens no paragraph.
        if (paragraphs.size() > 1 && paragraphs.constLast().isEmpty())
            paragraphs.removeLast();
        for (const QString& paragraph : qAsConst(paragraphs))
            out << indent << "  | " << OneLine(paragraph) << '\n';
    }
}

} // namespace

void Write(ProjectTreeNodeBase& projectPair, QTextStream& out)
{
    for (ProjectTreeNodeBase* node : Merge::PairsInTreeOrder(projectPair))
    {
        const Corvable* left = nullptr;
        const Corvable* right = nullptr;
        if (Merge::SidesOf(*node, &left, &right) && left->IsValid())
            WriteItem(*node, *left, out);
    }
}

} // namespace TextConv
