#pragma once

// One project as plain text, for version control tools that show changes
// line by line (git's textconv): a line per item, under it a line per
// property, and a story's text a paragraph per line. Items come in the
// comparison tree's order, so two versions of a project line up.

class ProjectTreeNodeBase;
class QTextStream;

namespace TextConv
{

// Writes the items at and below the project pair of a tree that compares a
// project with itself.
void Write(ProjectTreeNodeBase& projectPair, QTextStream& out);

} // namespace TextConv
