#pragma once

// The merge log: a versioned JSON record of the decisions a merge wrote, and
// their replay on another pair of the same projects.

#include "Merge.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace Merge
{

// The merge log: a versioned JSON record of decisions.
constexpr int kLogSchema = 1;
QByteArray LogJson(const QList<Decision>& decisions, const QString& leftPath, const QString& rightPath);
// False with a reason for a file that is no merge log of a schema this code
// reads.
bool ReadLog(const QByteArray& json, QList<Decision>* decisions, QString* error);
// Writes the log atomically; false with a reason when it cannot.
bool SaveLog(const QString& path, const QByteArray& json, QString* error);

// What became of one logged decision replayed on a pair.
enum class Outcome
{
    Applied, // marked to be copied
    Already, // the destination already reads as the decision left it
    Conflict // the item is gone, or its texts changed since: skipped
};

struct Replayed
{
    Decision mDecision;
    Outcome mOutcome;
    QString mWhy; // for a conflict
};

// Marks, in the models, the rows the decisions name, where the source and
// the destination still read as they did when the decision was made.
QList<Replayed> Replay(Models& models, const QList<Decision>& decisions);

} // namespace Merge
