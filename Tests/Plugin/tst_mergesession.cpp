// Whole comparisons through the loaded module, as xthost runs them, driven by
// seeded random sequences of what a user does: select a story pair, copy a
// row left or right (rows holding hidden text among them), undo, redo, save
// from the tool bar or with the Save button, saves the host refuses, closing
// with every answer of the unsaved-changes question, Escape and Cancel.
//
// A reference follows what the host's documents and the two files must hold.
// After every save the files on disk are compared with it, and at the end of
// every sequence too: a row written twice, a row lost, a refused save
// reported as done or a close that does not ask all show up as a difference.
//
// CORVANE_SESSION_SEQUENCES sets the number of sequences (default 500) and
// CORVANE_SESSION_SEED the first seed.
//
// This program makes no application object of its own: the command does.

#include "ComparisonDriver.h"
#include "PluginSession.h"

#include "Format/ProjectFormats.h"
#include "HostSession.h"
#include "Model/Project.h"
#include "PluginHost.h"
#include "XTCalls.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <dlfcn.h>
#include <functional>
#include <map>
#include <memory>

namespace
{

enum Side
{
    L = 0,
    R = 1
};

bool LoadFile(const QString& path, XTHost::Project& project, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    const QByteArray head = file.read(XTHost::ProjectFormat::sHeadSize);
    file.close();
    return XTHost::ProjectFormats::forHead(head).load(path, project, error);
}

// What the user did to one story pair since the window last compared it
// anew: the rows as the table showed them (lengths of both cells) and the
// copies that are marked, in the order of the pair's undo stack.
struct PairState
{
    bool mRead = false;
    std::vector<std::pair<int, int>> mRows;    // cell lengths, left and right
    std::vector<std::pair<int, Side>> mDone;   // row, side that takes the copy
    std::vector<std::pair<int, Side>> mUndone; // redo order: last undone last
};

// One sequence: its random choices, the reference and the windows' driver.
class Sequence : public QObject
{
public:
    Sequence(quint32 seed, const QString& folder, const std::vector<int32_t>& stories,
             const XTHost::Project& left, const XTHost::Project& right)
        : mRandom(seed), mSeed(seed), mStories(stories)
    {
        for (Side side : {L, R})
        {
            mFolder[side] = folder + (side == L ? QStringLiteral("/L") : QStringLiteral("/R"));
            mPath[side] =
                mFolder[side] + (side == L ? QStringLiteral("/left.xprj") : QStringLiteral("/right.xprj"));
            mFile[side] = side == L ? left : right;
            mHost[side] = mFile[side];
        }
        mSteps = 4 + int(mRandom.bounded(14));
        // Formatting changed here and there on either side, text kept.
        for (int edit = int(mRandom.bounded(4)); edit > 0; --edit)
        {
            XTHost::Project& project = mFile[mRandom.bounded(2)];
            XTHost::Story& story = project.mStories[mRandom.bounded(int(project.mStories.size()))];
            if (story.length() < 2)
                continue;
            const int start = int(mRandom.bounded(story.length() - 1));
            const int end = std::min(story.length(), start + 1 + int(mRandom.bounded(40)));
            static const char* const sizes[] = {"9", "12", "30"};
            static const char* const aligns[] = {"left", "centre", "right"};
            XT::TextAttributes attributes;
            XT::SetAttribute(attributes, QStringLiteral("font"), QStringLiteral("DejaVu Sans"));
            XT::SetAttribute(attributes, QStringLiteral("size"), QLatin1String(sizes[mRandom.bounded(3)]));
            if (mRandom.bounded(2))
                XT::SetAttribute(attributes, QStringLiteral("align"), QLatin1String(aligns[mRandom.bounded(3)]));
            story.setFormatting(start, end, {{0, attributes}});
            mLog << QStringLiteral("story %1 [%2, %3) formatted").arg(story.mNumber).arg(start).arg(end);
        }
        for (Side side : {L, R})
            mHost[side] = mFile[side];
    }

    // Writes the starting files: the samples, formatted as the constructor
    // changed them.
    QString WriteFiles() const
    {
        for (Side side : {L, R})
        {
            QString error;
            if (!QDir().mkpath(mFolder[side]) ||
                !XTHost::ProjectFormats::forHead("{").save(mFile[side], mPath[side], &error))
                return error.isEmpty() ? QStringLiteral("cannot make %1").arg(mFolder[side]) : error;
        }
        return QString();
    }

    // Polls from whatever loop runs, as long as the command's application
    // object lives.
    void Start()
    {
        mTimer = new QTimer(QCoreApplication::instance());
        connect(mTimer, &QTimer::timeout, this, &Sequence::Poll);
        mTimer->start(2);
    }
    const QString& Path(Side side) const { return mPath[side]; }
    const QString& Folder(Side side) const { return mFolder[side]; }
    QString Failure() const { return mFailure; }
    const QStringList& Log() const { return mLog; }
    int Saves() const { return mSaves; }
    int RefusedSaves() const { return mRefusedSaves; }
    int HiddenCopies() const { return mHiddenCopies; }

    // Called when the command has returned: the last action must have been
    // one that ends the comparison.
    void CheckEnded()
    {
        // A save that ends the window when it succeeds ends the command
        // before the next poll.
        if (mWait == Wait::SaveResult && mEndsOnSuccess && mExpectedWarnings == 0 && mActed)
            mEnded = true;
        // A close without changes ends the command at once.
        if (mWait == Wait::CloseResult)
            mEnded = true;
        if (mFailure.isEmpty() && !mEnded)
            Fail(QStringLiteral("the comparison ended without being asked to"));
        Unblock();
    }

    // A file on disk against the reference.
    QString Compare(Side side) const
    {
        XTHost::Project onDisk;
        QString error;
        if (!LoadFile(mPath[side], onDisk, &error))
            return QStringLiteral("%1 does not load: %2").arg(mPath[side], error);
        if (onDisk == mFile[side])
            return QString();
        for (const XTHost::Story& story : mFile[side].mStories)
        {
            const XTHost::Story* saved = onDisk.findStory(story.mNumber);
            if (!saved || *saved != story)
                return QStringLiteral("%1: story %2 is\n  %3\nexpected\n  %4")
                    .arg(mPath[side])
                    .arg(story.mNumber)
                    .arg(saved ? saved->mText : QStringLiteral("(missing)"), story.mText);
        }
        return QStringLiteral("%1 differs from the reference outside the stories").arg(mPath[side]);
    }

private:
    enum class Wait
    {
        Picker,
        Explorer,    // the window, ready for the next action
        SaveResult,  // a save was asked of the host
        Question,    // Escape was pressed with changes: the question must come
        CloseResult, // Escape without changes: the window must go
        Gone         // the comparison is over
    };

    void Note(const QString& what) { mLog << what; }

    // What the user does next, run from the event loop, so that a dialog it
    // opens does not hold up the polling; mActed says that it has run.
    void Later(QObject* context, std::function<void()> act)
    {
        mActed = false;
        QTimer::singleShot(0, context,
                           [this, act]
                           {
                               mActed = true;
                               act();
                           });
    }

    void Fail(const QString& why)
    {
        if (mFailure.isEmpty())
            mFailure = QStringLiteral("seed %1: %2\n  after: %3")
                           .arg(mSeed)
                           .arg(why, mLog.join(QStringLiteral("; ")));
        if (mTimer)
            mTimer->stop();
        Unblock();
        if (!QCoreApplication::instance())
            return;
        // Leave without saving whatever is up.
        auto* rescue = new QTimer(QCoreApplication::instance());
        connect(rescue, &QTimer::timeout, rescue,
                [rescue]
                {
                    if (QWidget* modal = QApplication::activeModalWidget())
                    {
                        if (auto* box = qobject_cast<QMessageBox*>(modal))
                        {
                            if (QAbstractButton* discard = box->button(QMessageBox::Discard))
                                return discard->click();
                        }
                        if (!QMetaObject::invokeMethod(modal, "reject"))
                            modal->close();
                        return;
                    }
                    bool any = false;
                    for (QWidget* widget : QApplication::topLevelWidgets())
                        if (widget->isVisible() && QMetaObject::invokeMethod(widget, "reject"))
                            any = true;
                    if (!any)
                        rescue->stop();
                });
        rescue->start(10);
    }

    // The host can no longer write into a side's folder: it is a file now.
    void Block(Side side)
    {
        QDir().rename(mFolder[side], mFolder[side] + QStringLiteral(".moved"));
        QFile blocker(mFolder[side]);
        blocker.open(QIODevice::WriteOnly);
        mBlocked[side] = true;
    }

    void Unblock()
    {
        for (Side side : {L, R})
            if (mBlocked[side])
            {
                QFile::remove(mFolder[side]);
                QDir().rename(mFolder[side] + QStringLiteral(".moved"), mFolder[side]);
                mBlocked[side] = false;
            }
    }

    static QMessageBox* Box() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

    static QAbstractButton* Button(QMessageBox* box, const QString& text)
    {
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text)
                return button;
        return nullptr;
    }

    bool HasMarks(Side side) const
    {
        for (const auto& pair : mPairs)
            for (const auto& done : pair.second.mDone)
                if (done.second == side)
                    return true;
        return false;
    }
    // What the question's Save LHS / Save RHS go by: a pair whose undo stack
    // is not clean and holds a copy that way, done or undone.
    bool OnStack(Side side) const
    {
        for (const auto& pair : mPairs)
        {
            if (pair.second.mDone.empty())
                continue;
            for (const auto* list : {&pair.second.mDone, &pair.second.mUndone})
                for (const auto& done : *list)
                    if (done.second == side)
                        return true;
        }
        return false;
    }
    bool Dirty() const { return HasMarks(L) || HasMarks(R) || mUnsaved[L] || mUnsaved[R]; }

    // The story as the rows rebuild it: each row from the side that the
    // marks say, then the text after the last row.
    XTHost::Story Rebuilt(int32_t number, const PairState& pair, Side side) const
    {
        const XTHost::Story* mine = mHost[side].findStory(number);
        const XTHost::Story* theirs = mHost[1 - side].findStory(number);
        std::map<int, bool> taken;
        for (const auto& done : pair.mDone)
            if (done.second == side)
                taken[done.first] = true;
        XTHost::Story result = *mine;
        result.mText.clear();
        result.mRuns.clear();
        result.mFormats.clear();
        auto append = [&result](const XTHost::TextFragment& piece)
        {
            for (XTHost::HiddenRun run : piece.mRuns)
            {
                run.mOffset += result.mText.size();
                result.mRuns.push_back(run);
            }
            // Text and formatting both come from the side the row takes.
            XTHost::TextFormat::splice(result.mFormats, result.mText.size(), result.mText.size(), 0,
                                       piece.mFormats.empty() ? XT::FormatRuns{{0, {}}} : piece.mFormats,
                                       piece.mText.size());
            result.mText += piece.mText;
        };
        int here = 0;
        int there = 0;
        for (size_t row = 0; row < pair.mRows.size(); ++row)
        {
            const int hereLength = side == L ? pair.mRows[row].first : pair.mRows[row].second;
            const int thereLength = side == L ? pair.mRows[row].second : pair.mRows[row].first;
            const bool take = taken.count(int(row)) > 0;
            append(take ? theirs->extract(there, there + thereLength) : mine->extract(here, here + hereLength));
            // The last paragraph's settings go with a row that ends the text.
            if (take && there + thereLength == theirs->length())
                result.mTrail = theirs->mTrail;
            here += hereLength;
            there += thereLength;
        }
        append(mine->extract(here, mine->length()));
        return result;
    }

    // What the window's apply pass writes into the host's documents; every
    // pair is compared anew afterwards.
    void ApplyMarks()
    {
        bool wrote = false;
        XTHost::Project next[2] = {mHost[L], mHost[R]};
        for (const auto& entry : mPairs)
        {
            const PairState& pair = entry.second;
            for (Side side : {L, R})
            {
                bool any = false;
                for (const auto& done : pair.mDone)
                    any = any || done.second == side;
                if (!any)
                    continue;
                *const_cast<XTHost::Story*>(next[side].findStory(entry.first)) =
                    Rebuilt(entry.first, pair, side);
                mUnsaved[side] = true;
                wrote = true;
            }
        }
        mHost[L] = next[L];
        mHost[R] = next[R];
        if (wrote)
            mPairs.clear();
    }

    // The host saves a side: the file takes what the host holds, unless the
    // folder is blocked.
    void SaveSide(Side side)
    {
        if (mBlocked[side])
        {
            ++mExpectedWarnings;
            return;
        }
        mFile[side] = mHost[side];
        mUnsaved[side] = false;
    }

    void SaveModified()
    {
        for (Side side : {L, R})
            if (mUnsaved[side])
                SaveSide(side);
    }

    QString CheckFiles()
    {
        for (Side side : {L, R})
            if (!mBlocked[side])
            {
                const QString problem = Compare(side);
                if (!problem.isEmpty())
                    return problem;
            }
        return QString();
    }

    QWidget* Window() const { return Driver::Explorer(); }

    QTableView* Table() const { return Window()->findChild<QTableView*>(QStringLiteral("mDiffTable")); }

    void ReadPair()
    {
        PairState& pair = mPairs[mSelected];
        if (pair.mRead)
            return;
        QAbstractItemModel* model = Table()->model();
        pair.mRead = true;
        pair.mRows.clear();
        for (int row = 0; model && row < model->rowCount(); ++row)
            pair.mRows.emplace_back(model->index(row, 0).data().toString().size(),
                                    model->index(row, 1).data().toString().size());
    }

    void RandomSelect()
    {
        const int32_t number = mStories[mRandom.bounded(int(mStories.size()))];
        const QString text = QStringLiteral("Story %1 | Story %1").arg(number);
        if (!Driver::SelectPair(Window(), text))
        {
            Note(QStringLiteral("cannot select story %1").arg(number));
            return;
        }
        mSelected = number;
        ReadPair();
        Note(QStringLiteral("select story %1").arg(number));
    }

    void RandomCopy(bool hiddenOnly)
    {
        if (mSelected < 0)
            return RandomSelect();
        // After a save the window compares every pair anew: read the rows
        // the table shows now.
        ReadPair();
        QAbstractItemModel* model = Table()->model();
        PairState& pair = mPairs[mSelected];
        std::vector<int> candidates;
        for (int row = 0; model && row < model->rowCount(); ++row)
        {
            const QModelIndex index = model->index(row, 0);
            if (!index.data(Qt::BackgroundRole).isValid())
                continue;
            if (hiddenOnly && !index.data(Qt::ToolTipRole).isValid())
                continue;
            candidates.push_back(row);
        }
        if (candidates.empty())
            return;
        const int row = candidates[mRandom.bounded(int(candidates.size()))];
        int nth = 0;
        for (int r = 0; r < row; ++r)
            if (model->index(r, 0).data(Qt::BackgroundRole).isValid())
                ++nth;
        const bool left = mRandom.bounded(2) == 0;
        const QString problem = Driver::CopyRow(Window(), nth, left);
        if (!problem.isEmpty())
            return Fail(QStringLiteral("copy row %1 of story %2: %3").arg(row).arg(mSelected).arg(problem));
        pair.mDone.emplace_back(row, left ? L : R);
        pair.mUndone.clear();
        if (hiddenOnly)
            ++mHiddenCopies;
        Note(QStringLiteral("copy row %1 %2%3")
                 .arg(row)
                 .arg(left ? "left" : "right", hiddenOnly ? " (hidden)" : ""));
    }

    void UndoRedo(bool undo)
    {
        QAction* action =
            Window()->findChild<QAction*>(undo ? QStringLiteral("actionUndo") : QStringLiteral("actionRedo"));
        PairState* pair = mSelected >= 0 ? &mPairs[mSelected] : nullptr;
        const bool expected = pair && (undo ? !pair->mDone.empty() : !pair->mUndone.empty());
        if (!action || action->isEnabled() != expected)
            return Fail(QStringLiteral("%1 is %2")
                            .arg(undo ? "undo" : "redo", action && action->isEnabled() ? "on" : "off"));
        if (!expected)
            return;
        action->trigger();
        if (undo)
        {
            pair->mUndone.push_back(pair->mDone.back());
            pair->mDone.pop_back();
        }
        else
        {
            pair->mDone.push_back(pair->mUndone.back());
            pair->mUndone.pop_back();
        }
        Note(undo ? QStringLiteral("undo") : QStringLiteral("redo"));
    }

    void MaybeBlock()
    {
        mExpectedWarnings = 0;
        mWarnings = 0;
        if (mRandom.bounded(2) == 0)
        {
            const Side side = mRandom.bounded(2) == 0 ? L : R;
            // A side with nothing to save is not saved, and blocking it
            // would only hide a file saved before, which the window reads
            // again at the end.
            if (!HasMarks(side) && !mUnsaved[side])
                return;
            Block(side);
            Note(QStringLiteral("block %1").arg(side == L ? "LHS" : "RHS"));
        }
    }

    void Act()
    {
        QWidget* window = Window();
        QPushButton* save = window->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                ->button(QDialogButtonBox::Save);
        if (save->isEnabled() != Dirty())
            return Fail(QStringLiteral("the Save button is %1 with%2 unsaved changes")
                            .arg(save->isEnabled() ? "on" : "off", Dirty() ? "" : "out"));

        const bool finish = ++mStep > mSteps;
        const int choice = finish ? 90 + int(mRandom.bounded(10)) : int(mRandom.bounded(100));
        if (choice < 10)
            return RandomSelect();
        if (choice < 40)
            return RandomCopy(false);
        if (choice < 52)
            return RandomCopy(true);
        if (choice < 60)
            return UndoRedo(true);
        if (choice < 65)
            return UndoRedo(false);
        if (choice < 85)
        {
            // Save from the tool bar keeps the window; the Save button ends
            // the comparison when the host saves.
            const bool button = choice >= 77;
            if (button && !save->isEnabled())
                return;
            MaybeBlock();
            ApplyMarks();
            SaveModified();
            Note(button ? QStringLiteral("save (button)") : QStringLiteral("save (tool bar)"));
            mWait = Wait::SaveResult;
            mEndsOnSuccess = button;
            ++mSaves;
            return Later(window,
                         [window, save, button] {
                             button ? save->click()
                                    : window->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
                         });
        }
        if (choice < 88)
        {
            // Cancel ends the comparison without a question and without saving.
            Note(QStringLiteral("cancel"));
            mWait = Wait::Gone;
            mEnded = true;
            QPushButton* cancel = window->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                      ->button(QDialogButtonBox::Cancel);
            return Later(cancel, [cancel] { cancel->click(); });
        }
        // Escape, or the window's own close.
        const bool escape = mRandom.bounded(2) == 0;
        Note(escape ? QStringLiteral("escape") : QStringLiteral("close the window"));
        mWait = Dirty() ? Wait::Question : Wait::CloseResult;
        Later(window,
              [window, escape] { escape ? Driver::Press(window, Qt::Key_Escape) : void(window->close()); });
    }

    void Answer(QMessageBox* box)
    {
        QAbstractButton* saveLeft = Button(box, QStringLiteral("Save LHS"));
        QAbstractButton* saveRight = Button(box, QStringLiteral("Save RHS"));
        if (!saveLeft || !saveRight)
            return Fail(QStringLiteral("the question has no Save LHS / Save RHS"));
        if (box->detailedText() !=
            QStringLiteral("LHS Project: %1.\nRHS Project: %2.").arg(mPath[L], mPath[R]))
            return Fail(QStringLiteral("the question names other projects: %1").arg(box->detailedText()));
        if (saveLeft->isEnabled() != (OnStack(L) || mUnsaved[L]) ||
            saveRight->isEnabled() != (OnStack(R) || mUnsaved[R]))
            return Fail(
                QStringLiteral("Save LHS %1, Save RHS %2")
                    .arg(saveLeft->isEnabled() ? "on" : "off", saveRight->isEnabled() ? "on" : "off"));
        std::vector<QString> answers = {QStringLiteral("Cancel"), QStringLiteral("Discard"),
                                        QStringLiteral("Save All")};
        if (saveLeft->isEnabled())
            answers.push_back(QStringLiteral("Save LHS"));
        if (saveRight->isEnabled())
            answers.push_back(QStringLiteral("Save RHS"));
        const QString answer = answers[mRandom.bounded(int(answers.size()))];
        Note(QStringLiteral("answer %1").arg(answer));
        QAbstractButton* button = nullptr;
        if (answer == QLatin1String("Cancel"))
        {
            button = box->button(QMessageBox::Cancel);
            mWait = Wait::Explorer;
        }
        else if (answer == QLatin1String("Discard"))
        {
            button = box->button(QMessageBox::Discard);
            mWait = Wait::Gone;
            mEnded = true;
        }
        else
        {
            MaybeBlock();
            ApplyMarks();
            if (answer == QLatin1String("Save All"))
            {
                button = box->button(QMessageBox::SaveAll);
                SaveModified();
            }
            else
            {
                // Only the chosen project is saved; what was written into the
                // other one goes with the window.
                const Side side = answer == QLatin1String("Save LHS") ? L : R;
                button = side == L ? saveLeft : saveRight;
                SaveSide(side);
            }
            ++mSaves;
            mWait = Wait::SaveResult;
            mEndsOnSuccess = true;
        }
        Later(button, [button] { button->click(); });
    }

    // After a save: as many refusals as the blocked folder causes, then the
    // window back or gone.
    void SaveResult()
    {
        if (!mActed)
            return;
        if (QMessageBox* box = Box())
        {
            // The refusal names the project whose folder is blocked.
            if (box->icon() != QMessageBox::Warning ||
                !box->text().contains(QStringLiteral("could not be saved")) ||
                !((mBlocked[L] && box->text().contains(mPath[L])) ||
                  (mBlocked[R] && box->text().contains(mPath[R]))))
                return Fail(QStringLiteral("unexpected box: %1 %2").arg(box->text(), box->informativeText()));
            ++mWarnings;
            if (mWarnings > mExpectedWarnings)
                return Fail(
                    QStringLiteral("a save was refused that should have succeeded: %1").arg(box->text()));
            box->button(QMessageBox::Ok)->click();
            return;
        }
        if (mWarnings < mExpectedWarnings)
        {
            if (mWaited++ < 400)
                return;
            return Fail(QStringLiteral("a refused save was not reported"));
        }
        // A save that ends the window runs after the click has returned:
        // until the window is back (after a refusal), the files may not be
        // written yet. Without a refusal the command ends.
        if (mEndsOnSuccess && (mExpectedWarnings == 0 || !Window()))
            return;
        if (!Settled())
            return;
        mWaited = 0;
        const bool refused = mExpectedWarnings > 0;
        if (refused)
            ++mRefusedSaves;
        Unblock();
        const QString problem = CheckFiles();
        if (!problem.isEmpty())
            return Fail(problem);
        if (mEndsOnSuccess && !refused)
        {
            mWait = Wait::Gone;
            mEnded = true;
            return;
        }
        mWait = Wait::Explorer;
    }

    // A timer can fire in the last pass of a dialog's loop, before the code
    // that ran the dialog goes on: a state counts once two polls in a row
    // have seen it, which takes two passes of whatever loop runs.
    bool Settled()
    {
        if (mSettledAt == mPolls - 1)
        {
            mSettledAt = -10;
            return true;
        }
        mSettledAt = mPolls;
        return false;
    }

    void Poll()
    {
        ++mPolls;
        // A side saved earlier whose folder is blocked now cannot be read
        // again when the window checks its saves at the end: it says so.
        if (QMessageBox* box = Box())
            if (box->text().contains(QStringLiteral("read back")) &&
                box->informativeText().contains(QStringLiteral("cannot be read again")) &&
                ((mBlocked[L] && box->informativeText().contains(mPath[L])) ||
                 (mBlocked[R] && box->informativeText().contains(mPath[R]))))
            {
                Note(QStringLiteral("told a saved file cannot be read again"));
                return box->button(QMessageBox::Ok)->click();
            }
        switch (mWait)
        {
        case Wait::Picker:
            if (QWidget* picker = Script::Modal("ProjectPickerClass"))
            {
                picker->findChild<QComboBox*>(QStringLiteral("mLHSFileComboEdit"))->setEditText(mPath[L]);
                picker->findChild<QComboBox*>(QStringLiteral("mRHSFileComboEdit"))->setEditText(mPath[R]);
                QPushButton* ok = picker->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                      ->button(QDialogButtonBox::Ok);
                if (!ok->isEnabled())
                    return Fail(QStringLiteral("the picker refused the files"));
                mWait = Wait::Explorer;
                Later(ok, [ok] { ok->click(); });
            }
            return;
        case Wait::Explorer:
            if (Box())
                return Fail(QStringLiteral("unexpected box: %1 %2").arg(Box()->text(), Box()->informativeText() + Box()->detailedText()));
            if (Window() && Settled())
                Act();
            return;
        case Wait::SaveResult:
            return SaveResult();
        case Wait::Question:
            if (QMessageBox* box = Box())
            {
                if (!box->text().contains(QStringLiteral("modified")))
                    return Fail(QStringLiteral("unexpected box: %1 %2").arg(box->text(), box->informativeText()));
                return Answer(box);
            }
            if (!Window() && mWaited++ > 400)
                return Fail(QStringLiteral("closed with unsaved changes and nothing was asked"));
            return;
        case Wait::CloseResult:
            if (Box())
                return Fail(QStringLiteral("asked although nothing was changed: %1").arg(Box()->text()));
            mWait = Wait::Gone;
            mEnded = true;
            return;
        case Wait::Gone:
            if (Box())
                return Fail(QStringLiteral("unexpected box after the end: %1 %2").arg(Box()->text(), Box()->informativeText()));
            return;
        }
    }

    QRandomGenerator mRandom;
    quint32 mSeed;
    std::vector<int32_t> mStories;
    QString mFolder[2];
    QString mPath[2];
    XTHost::Project mFile[2]; // what each file holds
    XTHost::Project mHost[2]; // what the host's documents hold
    bool mUnsaved[2] = {false, false};
    bool mBlocked[2] = {false, false};
    std::map<int32_t, PairState> mPairs;
    int32_t mSelected = -1;
    Wait mWait = Wait::Picker;
    bool mEndsOnSuccess = false;
    bool mEnded = false;
    int mExpectedWarnings = 0;
    int mWarnings = 0;
    int mWaited = 0;
    int mStep = 0;
    int mSteps = 0;
    int mSaves = 0;
    int mRefusedSaves = 0;
    int mHiddenCopies = 0;
    bool mActed = false;
    qint64 mPolls = 0;
    qint64 mSettledAt = -10;
    QString mFailure;
    QStringList mLog;
    QTimer* mTimer = nullptr;
};

} // namespace

class tst_MergeSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void randomSessions_data();
    void randomSessions();

private:
    QTemporaryDir mFolder;
    std::unique_ptr<LoadedPlugin> mPlugin;
    XTHost::Project mLeft;
    XTHost::Project mRight;
    std::vector<int32_t> mStories;
};

void tst_MergeSession::initTestCase()
{
    QString error;
    QVERIFY2(LoadFile(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")), mLeft, &error),
             qPrintable(error));
    QVERIFY2(LoadFile(SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj")), mRight, &error),
             qPrintable(error));
    for (XTHost::Story& story : mLeft.mStories)
        if (mRight.findStory(story.mNumber))
            mStories.push_back(story.mNumber);
    QVERIFY(mStories.size() >= 3);

    mPlugin = std::make_unique<LoadedPlugin>(QStringLiteral(CORVANE_MODULE),
                                             mFolder.filePath(QStringLiteral("Preferences")));
    QVERIFY2(mPlugin->mActive, dlerror());
}

void tst_MergeSession::cleanupTestCase()
{
    gOnApplication = nullptr;
    mPlugin.reset();
}

// Blocks of sequences, so that each test function stays well inside Qt
// Test's time limit for one function whatever the count.
void tst_MergeSession::randomSessions_data()
{
    QTest::addColumn<quint32>("first");
    QTest::addColumn<int>("count");
    const int count = qEnvironmentVariableIsSet("CORVANE_SESSION_SEQUENCES")
                          ? qEnvironmentVariableIntValue("CORVANE_SESSION_SEQUENCES")
                          : 500;
    const quint32 seed = quint32(qEnvironmentVariableIntValue("CORVANE_SESSION_SEED"));
    const int block = 50;
    for (int done = 0; done < count; done += block)
    {
        const quint32 first = seed + quint32(done);
        const int size = qMin(block, count - done);
        QTest::newRow(qPrintable(QStringLiteral("seeds %1-%2").arg(first).arg(first + quint32(size) - 1)))
            << first << size;
    }
}

void tst_MergeSession::randomSessions()
{
    QFETCH(quint32, first);
    QFETCH(int, count);

    int saves = 0;
    int refused = 0;
    int hidden = 0;
    for (int i = 0; i < count; ++i)
    {
        const quint32 seed = first + quint32(i);
        const QString folder = mFolder.filePath(QStringLiteral("run%1").arg(seed));
        std::unique_ptr<Sequence> sequence;
        sequence = std::make_unique<Sequence>(seed, folder, mStories, mLeft, mRight);
        const QString written = sequence->WriteFiles();
        QVERIFY2(written.isEmpty(), qPrintable(written));

        Sequence* running = sequence.get();
        gOnApplication = [running] { running->Start(); };
        XTStatus status = -1;
        QVERIFY(mPlugin->mPlugin->runCommand(QStringLiteral("Compare Projects..."), &status));
        gOnApplication = nullptr;
        QCOMPARE(status, XT::kNoErr);
        sequence->CheckEnded();
        QVERIFY2(sequence->Failure().isEmpty(), qPrintable(sequence->Failure()));
        for (Side side : {L, R})
        {
            const QString problem = sequence->Compare(side);
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("seed %1: %2\n  after: %3")
                                    .arg(seed)
                                    .arg(problem, sequence->Log().join(QStringLiteral("; ")))));
        }
        saves += sequence->Saves();
        refused += sequence->RefusedSaves();
        hidden += sequence->HiddenCopies();
        QDir(folder).removeRecursively();
    }
    qInfo("%d sequences from seed %u: %d saves, %d of them refused by the host, %d copies of rows with "
          "hidden text",
          count, first, saves, refused, hidden);
}

int main(int argc, char** argv)
{
    tst_MergeSession test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mergesession.moc"
