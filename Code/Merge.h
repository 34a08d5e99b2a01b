#pragma once

// Copying differences and writing them into the documents, with the record
// of every decision: what the explorer's Save and corvane-merge share, so
// that a merge in the window and one without a window write the same bytes.
// QtCore only: no widget, no dialog.

#include "Corvable.h"
#include "DiffModel.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <utility>
#include <vector>

class ProjectTree;
class ProjectTreeNodeBase;

namespace Merge
{

// One merge decision: a row of one item's patch table copied one way.
struct Decision
{
    QJsonObject mItem; // the item's identity (Corvable::Identity)
    QString mPath;     // its place in the tree: the labels joined by "/"
    int mRow = 0;      // the patch table row as the explorer numbers it, from 1
    QString mLabel;    // the row's property name; empty for a story's rows
    ApplyDirection mDirection = Right;
    QString mBefore; // the destination's text of the row, hidden text written out
    QString mAfter;  // the source's text of the row, which the destination takes
    // How the row's formatting differed, LHS -> RHS (DiffModel::FormatChanges);
    // empty where it did not.
    QStringList mFormatting;
};

// A row's property name; empty for a story's rows, which have none.
QString RowLabel(const DiffModel& model, int row);

// The change rows of a model that may be copied.
QList<int> CopyableRows(const DiffModel& model);

// Whether the pair is an item only one side has. It is made or removed
// whole, so its rows are copied together and count as one difference; they
// are there to be read.
bool IsOneSided(const DiffModel& model);
// The differences of a pair not copied yet: its open change rows, or one for
// an item only one side has.
int OpenDifferences(const DiffModel& model);
// Whether a change row is a difference of its own, where navigation stops:
// of an item only one side has, only the first open change row is.
bool IsDifferenceRow(const DiffModel& model, int row);

// Whether copying the pair copies or removes what lies below it too: a
// layout or spread only one side has. A merge marks nothing below such a
// pair again.
bool TakenWhole(const ProjectTreeNodeBase& node, const DiffModel& model);
// Whether a pair lies below one of `whole`.
bool Below(const ProjectTreeNodeBase& node, const QSet<const ProjectTreeNodeBase*>& whole);

// Marks the rows as copied one way, as one step that one Undo takes back.
void MarkRows(DiffModel& model, const QList<int>& rows, ApplyDirection direction, const QString& stepText);

// The pair nodes at and below a node, in the tree's order (the order the
// explorer and corvane-compare list them).
std::vector<ProjectTreeNodeBase*> PairsInTreeOrder(ProjectTreeNodeBase& node);

// A node's place: the labels from below the project pair down to the node,
// joined by "/" ("Stories/Story 3 | Story 3").
QString PathOf(const ProjectTreeNodeBase& node);

// Whether the node's path, in full or with each pair named once when both
// sides have the same name ("Stories/Story 3"), is `path` or lies below it.
bool PathMatches(const ProjectTreeNodeBase& node, const QString& path);

// The identity of a pair's item, taken from the side that has it; empty for
// a folder.
QJsonObject IdentityOf(const ProjectTreeNodeBase& node);
// IdentityOf as a key for a map (Corvable::IdentityKey); empty for a folder.
QByteArray IdentityKeyOf(const ProjectTreeNodeBase& node);
// The kind of item a pair holds: "project", "layouts", "spreads", "pages",
// "boxes", "stories" or, for an asset, its kind's name ("colours"...); empty
// for a folder.
QString KindOf(const ProjectTreeNodeBase& node);

// The rows marked to be copied in a model, as decisions, in row order.
QList<Decision> MarkedDecisions(const DiffModel& model, const ProjectTreeNodeBase& node);

struct Written
{
    QStringList mRefused;       // what the host refused, one line per row
    QList<Decision> mDecisions; // every row written (none the host refused), in tree order
    bool mLeft = false;         // whether the LHS document changed
    bool mRight = false;        // whether the RHS document changed
};

// Writes the rows marked in the models into the documents, one model after
// the other in the order given (the tree's order), and records them.
Written Write(const std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>>& models);

// The models of a tree that the merge marks rows in, kept in tree order.
class Models
{
public:
    explicit Models(ProjectTreeNodeBase& root);
    ~Models();
    Models(const Models&) = delete;
    Models& operator=(const Models&) = delete;

    // The pair's model, made (complete diff) on first use; `made` tells
    // whether this call made it.
    DiffModel* Of(ProjectTreeNodeBase& node, bool* made = nullptr);
    // The pair's model if it has been made; null otherwise.
    DiffModel* Existing(const ProjectTreeNodeBase& node) const;
    // The pair a model belongs to; null for none of these models.
    ProjectTreeNodeBase* NodeOf(const DiffModel* model) const;
    const std::vector<ProjectTreeNodeBase*>& Pairs() const { return mPairs; }
    // The node whose item has this identity, or null.
    ProjectTreeNodeBase* Find(const QJsonObject& identity);
    // The models made so far, in tree order.
    std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>> Made() const;
    // Writes what was marked, in tree order.
    Written Write();

private:
    std::vector<ProjectTreeNodeBase*> mPairs;
    std::map<ProjectTreeNodeBase*, std::unique_ptr<DiffModel>> mModels;
    std::map<const DiffModel*, ProjectTreeNodeBase*> mNodes;
    std::map<QByteArray, ProjectTreeNodeBase*> mByIdentity;
    bool mIndexed = false;
};

// What a merge was asked to make equal: one item whose rows were marked.
struct Asked
{
    QJsonObject mLeft; // the identities of its two sides; empty for a side that lacks it
    QJsonObject mRight;
    QString mPath;
    bool mWhole = false;  // every difference of the item was marked
    QStringList mLabels; // the property rows marked (a story's rows have no label)
    int mRows = 0;       // the rows marked
};
// Read from the models before they are written, and kept to what was
// written: a row the host refused is reported as refused, not again as
// differing.
QList<Asked> AskedOf(const std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>>& models);
QList<Asked> WrittenOf(const QList<Asked>& asked, const QList<Decision>& written);
// After the written projects are saved and read again: in a comparison of
// them, the items of `asked` that do not read as the merge left them (an
// item copied whole that is not identical, a copied row that still
// differs), one line each: its path, and the rows for an item copied in
// part ("PATH (rows Name, Width)"). A side the merge did not write
// finds its item by its own identity.
QStringList StillDiffering(ProjectTreeNodeBase& root, const QList<Asked>& asked);

// The two entities of a pair node; false for a folder or the root.
bool SidesOf(const ProjectTreeNodeBase& node, const Corvable** left, const Corvable** right);

} // namespace Merge
