#include "ThreeWayRun.h"

#include "ComparisonSession.h"
#include "EmptyProject.h"
#include "HostSession.h"
#include "MergeLog.h"
#include "PhaseTimes.h"
#include "ThreeWayMerge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace
{

struct Trouble
{
    QString mMessage;
};

QString OneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QChar(0xB6));
    text.replace(QLatin1Char('\n'), QChar(0xB6));
    return text;
}

// The three files as the host opens them. LEFT is merged in a copy beside
// the output, which replaces the output only once everything went well; a
// side that does not exist (/dev/null, an empty file: what git names for a
// file both sides added) is a project with nothing in it.
struct Staged
{
    explicit Staged(const ThreeWayOptions& options)
        : mOutput(QFileInfo(options.mOutput.isEmpty() ? options.mLeft : options.mOutput).absoluteFilePath()),
          mWork(options.mDryRun ? QDir::tempPath() + QStringLiteral("/corvane-merge-XXXXXX")
                                : QFileInfo(mOutput).absolutePath() + QStringLiteral("/.corvane-merge-XXXXXX"))
    {
        if (!mWork.isValid())
            throw Trouble{QStringLiteral("cannot make a working folder beside %1: %2").arg(mOutput, mWork.errorString())};
        mLeft = mWork.filePath(QStringLiteral("left"));
        if (EmptyProject::IsEmptySide(options.mLeft))
            mLeft = EmptyProject::Write(mWork, QStringLiteral("left"));
        else if (!QFile::copy(options.mLeft, mLeft))
            throw Trouble{QStringLiteral("cannot copy %1 into %2").arg(options.mLeft, mWork.path())};
        mRight = Side(options.mRight, QStringLiteral("right"), QString());
        // The host opens a file once: a base that is RIGHT's file is read
        // from a copy.
        mBase = Side(options.mBase, QStringLiteral("base"), mRight);
        if (mLeft.isEmpty() || mRight.isEmpty() || mBase.isEmpty())
            throw Trouble{QStringLiteral("cannot write into %1").arg(mWork.path())};
    }

    QString Side(const QString& path, const QString& name, const QString& other)
    {
        if (EmptyProject::IsEmptySide(path))
            return EmptyProject::Write(mWork, name);
        if (!other.isEmpty() && QFileInfo(path).canonicalFilePath() == QFileInfo(other).canonicalFilePath())
        {
            const QString copy = mWork.filePath(name);
            return QFile::copy(path, copy) ? copy : QString();
        }
        return path;
    }

    QString mOutput;
    QTemporaryDir mWork;
    QString mLeft;
    QString mRight;
    QString mBase;
};

// An item only one side has is decided whole: one entry for it, with the
// whole item's text on each side.
void ListWhole(const ThreeWay::Item& item, bool preferRight, QTextStream& out)
{
    const ThreeWay::Row& first = item.mRows.constFirst();
    if (first.mVerdict == ThreeWay::Verdict::Take)
        out << "~ " << item.mPath << " (" << item.mWhy << "): the RIGHT's\n";
    else if (first.mVerdict == ThreeWay::Verdict::Conflict)
        out << "! conflict: " << item.mPath << " (" << item.mWhy << "); " << (preferRight ? "the RIGHT's" : "the LEFT's")
            << " version stands\n"
            << "      base:  " << OneLine(first.mBase) << '\n'
            << "      left:  " << OneLine(item.mLeftText) << '\n'
            << "      right: " << OneLine(item.mRightText) << '\n';
}

void ListPlan(const ThreeWay::Plan& plan, bool preferRight, QTextStream& out)
{
    for (const ThreeWay::Item& item : plan.mItems)
    {
        if (!item.mWhy.isEmpty())
        {
            ListWhole(item, preferRight, out);
            continue;
        }
        for (const ThreeWay::Row& row : item.mRows)
        {
            const QString label = row.mLabel.isEmpty() ? QString() : QStringLiteral(" ") + row.mLabel;
            if (row.mVerdict == ThreeWay::Verdict::Take)
                out << "~ " << item.mPath << ", row " << row.mRow + 1 << label << " from the RIGHT\n"
                    << "      - " << OneLine(row.mLeft) << '\n'
                    << "      + " << OneLine(row.mRight) << '\n';
            else if (row.mVerdict != ThreeWay::Verdict::Keep)
                out << (row.mVerdict == ThreeWay::Verdict::Both ? "~ " : "! conflict: ") << item.mPath << ", row "
                    << row.mRow + 1 << label
                    << (row.mVerdict == ThreeWay::Verdict::Both
                            ? QStringLiteral(" merged: both sides' edits")
                            : QStringLiteral("; %1 version stands where both edited it")
                                  .arg(preferRight ? QStringLiteral("the RIGHT's") : QStringLiteral("the LEFT's")))
                    << '\n'
                    << "      base:  " << OneLine(row.mBase) << '\n'
                    << "      left:  " << OneLine(row.mLeft) << '\n'
                    << "      right: " << OneLine(row.mRight) << '\n';
        }
    }
}

// Writes what is marked, and then the hunks taken within rows, into the
// staged LEFT and saves it; the problems found on the way (refusals, items
// that do not read back as merged). `changed` tells whether LEFT changed.
int WriteAndCheck(ComparisonSession& session, const ThreeWay::Plan& plan, bool preferRight,
                  XTHost::HostSession& host, QTextStream& out, bool* changed)
{
    const Merge::Written written = session.WriteMarked();
    int hunks = 0;
    const QStringList refusals = written.mRefused + ThreeWay::Merger::WriteHunks(plan, preferRight, &hunks);
    PhaseTimes::Mark("write");
    for (const QString& refusal : refusals)
        out << "! refused: " << refusal << '\n';
    *changed = session.IsModified(ComparisonSession::LHS);
    if (*changed && !session.Save(ComparisonSession::LHS))
        throw Trouble{QStringLiteral("the merged project could not be saved: %1").arg(host.lastError())};
    PhaseTimes::Mark("save");
    // The check reads the saved file back: on a thread, while the merge's
    // tables are let go.
    if (*changed)
        host.readAhead(session.Path(ComparisonSession::LHS));
    int problems = refusals.size();
    // Nothing shows the comparison afterwards.
    for (const QString& line : session.CheckSaved(false))
    {
        out << "! still differs: " << line << '\n';
        ++problems;
    }
    return problems;
}

// Puts the merged copy in the output's place, or leaves LEFT as it is when
// it is the output and nothing changed.
void Publish(const Staged& staged, const QString& left, bool changed)
{
    if (!changed && QFileInfo(left).absoluteFilePath() == staged.mOutput)
        return;
    if (std::rename(QFile::encodeName(staged.mLeft).constData(), QFile::encodeName(staged.mOutput).constData()) != 0)
        throw Trouble{QStringLiteral("%1 could not be written: %2").arg(staged.mOutput, qt_error_string(errno))};
}

int Merge3(const ThreeWayOptions& options, XTHost::HostSession& host, QTextStream& out, MergeHeld& held)
{
    PhaseTimes::Start();
    const Staged staged(options);
    PhaseTimes::Mark("stage");
    // RIGHT and the base are read on threads of their own while LEFT is
    // read, and the base still while LEFT and RIGHT are compared.
    host.readAhead(staged.mRight);
    host.readAhead(staged.mBase);
    held.mSession = std::make_unique<ComparisonSession>(staged.mLeft, staged.mRight);
    ComparisonSession& session = *held.mSession;
    if (!session.IsOpen())
        throw Trouble{session.OpenError().replace(staged.mLeft, options.mLeft)};
    held.mMerger = std::make_unique<ThreeWay::Merger>(session, staged.mBase);
    ThreeWay::Merger& merger = *held.mMerger;
    if (!merger.IsOpen())
        throw Trouble{merger.OpenError()};
    PhaseTimes::Mark("base");
    // What LEFT alone changed stays as it is: nothing to list or write.
    const ThreeWay::Plan plan = merger.Classify(false);
    ListPlan(plan, options.mPreferRight, out);
    int problems = ThreeWay::Merger::Mark(plan, options.mPreferRight);
    if (problems > 0)
        out << "! cannot copy: " << problems << (problems == 1 ? " row" : " rows") << '\n';
    PhaseTimes::Mark("decide");
    const int taken = plan.Count(ThreeWay::Verdict::Take);
    const int conflicts = plan.Count(ThreeWay::Verdict::Conflict);
    if (!options.mDryRun)
    {
        bool changed = false;
        problems += WriteAndCheck(session, plan, options.mPreferRight, host, out, &changed);
        QString error;
        if (!options.mLog.isEmpty() &&
            !Merge::SaveLog(options.mLog,
                            ThreeWay::LogJson(Merge::LogJson(session.Decisions(),
                                                             QFileInfo(options.mLeft).absoluteFilePath(),
                                                             QFileInfo(options.mRight).absoluteFilePath()),
                                              QFileInfo(options.mBase).absoluteFilePath(), plan,
                                              options.mPreferRight),
                            &error))
            throw Trouble{QStringLiteral("the log could not be written: %1").arg(error)};
        Publish(staged, options.mLeft, changed);
        PhaseTimes::Mark("publish");
    }
    out << taken << (taken == 1 ? " change" : " changes") << " taken from the RIGHT, " << conflicts
        << (conflicts == 1 ? " conflict" : " conflicts")
        << (options.mDryRun ? QStringLiteral("; nothing written")
                            : QStringLiteral("; %1 written").arg(QDir::toNativeSeparators(staged.mOutput)))
        << '\n';
    return conflicts > 0 || problems > 0 ? 1 : 0;
}

} // namespace

int RunThreeWay(const ThreeWayOptions& options, XTHost::HostSession& host, MergeHeld& held)
{
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    try
    {
        const int status = Merge3(options, host, out, held);
        out.flush();
        return status;
    }
    catch (const Trouble& trouble)
    {
        out.flush();
        std::fprintf(stderr, "corvane-merge: %s\n", qPrintable(trouble.mMessage));
        return 2;
    }
}
