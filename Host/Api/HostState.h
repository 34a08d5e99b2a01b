#pragma once

#include "CallbackRegistry.h"
#include "OpenProject.h"
#include "PluginState.h"
#include "TokenTable.h"
#include "XTGroups.h"

#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace XTHost
{

// Where a box reference points: a box, or (mBox -1) a spread's own box.
struct BoxLocation
{
    OpenProject* mProject = nullptr;
    int mLayout = 0;
    int mSpread = 0;
    int mBox = -1;

    bool isSpreadBox() const { return mBox < 0; }
    Layout& layout() const { return mProject->mModel.mLayouts[mLayout]; }
    Spread& spread() const { return layout().mSpreads[mSpread]; }
    Box* box() const { return mBox < 0 ? nullptr : &spread().mBoxes[mBox]; }
    OpenProject::LayoutRefs& layoutRefs() const { return mProject->mLayoutRefs[mLayout]; }
};

struct TextLocation
{
    OpenProject* mProject = nullptr;
    int mStory = 0;

    Story& story() const { return mProject->mModel.mStories[mStory]; }
    XTTextRef text() const { return mProject->mStoryTexts[mStory]; }
};

struct FileSpecData
{
    QString mPath;
};

struct AssetIteratorData
{
    XTProjectId mProject;
    int32_t mKind;
    int mIndex;
};

struct AssetCopyData
{
    XTProjectId mSource;
    XTProjectId mDestination;
};

// The one host of this process: open projects, the references handed out for
// their parts, the host's own objects, callbacks and clipboard. The API's
// function tables are plain C functions, so they reach it through current().
class HostState
{
public:
    HostState();
    ~HostState();
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    static HostState* current();
    // Whether the operation of this name is to be refused (failure injection).
    static bool refuses(const char* operation);

    // Projects.
    XTProjectId openProject(const QString& path, QString* error);
    // Starts reading a project file on a thread of its own, for the
    // openProject of that file to take once it comes: a program that knows
    // which files it will open reads one while it works on another. Files
    // read ahead are read one after the other, in the order asked: two read
    // at once would only share the one core left and both come late.
    void readAhead(const QString& path);
    OpenProject* addProject(const QString& path, Project model, const ProjectFormat* format = nullptr);
    void closeProject(XTProjectId id);
    OpenProject* project(XTProjectId id);
    const std::vector<XTProjectId>& openOrder() const { return mOpenOrder; }
    OpenProject* projectOfSpace(AssetSpaceRef space);
    OpenProject* projectOfColorList(XTColorList list);

    // References.
    bool findDoc(DocRef doc, OpenProject** project, int* layout);
    const BoxLocation* findBox(XTBoxRef box);
    const TextLocation* findText(XTTextRef text);
    DocRef docFromNumber(XTDocNumber number) const;
    // Registers a box appended to a spread, and a story appended to a project.
    XTBoxRef registerBox(OpenProject& project, int layout, int spread);
    XTTextRef registerStory(OpenProject& project);
    // Structural edits (HostStructure.cpp). The model and the references
    // change together: a removed part's references are forgotten, so calls
    // with them find nothing; every other part's references keep naming the
    // same part at its new position. Nothing is renumbered.
    //
    // Copies a box (and the story it shows) from `from` onto spread `spread`
    // of layout `layout` of `to`, appended. The box keeps its number where the
    // layout has it free, else takes one that neither layout uses. A story
    // the destination has under the same number takes the new box into its
    // chain where the source's chain has it; else the story is copied under
    // its number where free (else one neither project uses) and runs
    // through every box of the source's chain the destination has. A box
    // colour the destination lacks is copied with the box.
    XTBoxRef copyBox(const BoxLocation& from, OpenProject& to, int layout, int spread);
    // Inserts a copy of spread `spread` of layout `layout` of `from`, with
    // its pages and boxes, as spread `at` (0-based) of layout `toLayout`.
    XTBoxRef copySpread(OpenProject& from, int layout, int spread, OpenProject& to, int toLayout, int at);
    // Inserts a copy of a layout with everything on it, under its number
    // (which the destination must not use), in layout-number order.
    DocRef copyLayout(OpenProject& from, int layout, OpenProject& to);
    // Brings along the styles and colours that formatting copied from `from`
    // names, where `to` lacks them (and its format can hold them).
    void bringStyles(const OpenProject& from, OpenProject& to, const XT::FormatRuns& runs,
                     const XT::TextAttributes& trail);
    // Removes a box; its story loses it (and stays, in no box, if that was
    // its last).
    bool removeBox(XTBoxRef box);
    // Moves a box in its spread's stacking order to just above `below` (a
    // box of the same spread), or to the bottom for kNoBox.
    bool restackBox(XTBoxRef box, XTBoxRef below);
    // Moves a box onto another normal spread of its layout, on top; its
    // reference, number and story stay.
    bool moveBoxToSpread(XTBoxRef box, XTBoxRef spreadBox);
    bool removeSpread(XTBoxRef spreadBox);
    bool removeLayout(DocRef doc);
    void removeStory(OpenProject& project, int story);
    // Makes `story` of `to` run through the boxes of `chain` that `to` has,
    // in that order; each leaves the story it showed before.
    void linkStory(OpenProject& to, int story, const std::vector<BoxLink>& chain);

    XTPicture pictureOf(XTBoxRef box);
    XTBoxRef boxOfPicture(XTPicture picture);

    // Host strings.
    HostString newString(const QString& text);
    QString* string(HostString handle) { return mStrings.find(handle); }
    void releaseString(HostString handle) { mStrings.remove(handle); }

    // Platform handles and box records: the plug-in reads and writes these
    // directly, so they are real memory, checked against the live set.
    XTHandle newHandle(int64_t size, bool clear);
    bool isHandle(XTHandle handle) const;
    bool resizeHandle(XTHandle handle, int64_t size);
    int64_t handleSize(XTHandle handle) const;
    void disposeHandle(XTHandle handle);
    XTBoxRecord* newBoxRecord();
    bool isBoxRecord(const XTBoxRecord* record) const { return mBoxRecords.count(record) > 0; }
    void disposeBoxRecord(XTBoxRecord* record);

    QString temporaryFolder();
    // The host's preferences folder: the one set for the plug-in, else a
    // per-user folder under the XDG configuration folder.
    QString preferencesFolder() const;

    TokenTable<XTFileSpec, FileSpecData> mFiles{2};
    TokenTable<AssetIteratorRef, AssetIteratorData> mAssetIterators{3};
    TokenTable<XTAssetCopyContext, AssetCopyData> mCopyContexts{4};
    CallbackRegistry mCallbacks;

    // Editing state.
    XTBoxRef mCurrentBox = XT::kNoBox;
    TextFragment mClipboard;
    bool mIdleTimerEnabled = true;

    // Failure injection and the interface offered.
    std::set<uint32_t> mWithheldGroups;
    std::set<int32_t> mFailedSelectors;
    // Edit operations that answer kErrRefused and change nothing, by name.
    std::set<QString> mRefusedEdits;
    int32_t mGroupVersion = XT::kGroupVersion;
    xtsetuprec mSetupRecord{};
    QString mLastError;     // of the last open or save
    QString mRefusal;       // why the last edit refused for a reason of its own was refused
    QString mLastOpenError; // of the last open

    std::map<std::pair<XTFourCC, XTFourCC>, std::pair<AEEventHandlerProc, intptr_t>> mEventHandlers;

    PluginState mPlugin;

private:
    void registerRefs(OpenProject& project);
    void forgetBox(XTBoxRef box);
    void unlinkBox(OpenProject& project, XTBoxRef box);
    void renumberSpreadRefs(OpenProject& project, int layout, int fromSpread);
    void renumberLayoutRefs(OpenProject& project, int fromLayout);
    XTBoxRef boxNumbered(OpenProject& project, int32_t layoutNumber, int32_t boxNumber) const;

    static HostState* sCurrent;

    // A file read ahead, with its size and time as the reading began: a file
    // changed since is read again when it is opened.
    struct ReadAhead
    {
        struct Loaded
        {
            Project mModel;
            const ProjectFormat* mFormat = nullptr;
            bool mRead = false;
            QString mError;
        };
        qint64 mSize = 0;
        qint64 mModified = 0;
        std::future<Loaded> mLoaded;
    };
    static ReadAhead::Loaded load(const QString& path);
    std::map<QString, ReadAhead> mReadAhead; // by canonical path
    std::shared_future<void> mLastReadAhead;  // ready once the last one asked is read

    std::map<XTProjectId, std::unique_ptr<OpenProject>> mProjects;
    std::vector<XTProjectId> mOpenOrder;
    XTProjectId mNextProject = 1;
    DocRef mNextDoc = 1001;
    int32_t mNextDocNumber = 1;
    XTBoxRef mNextBox = 1;

    std::unordered_map<DocRef, std::pair<OpenProject*, int>> mDocs;
    std::unordered_map<XTDocNumber, DocRef> mDocNumbers;
    std::unordered_map<XTBoxRef, BoxLocation> mBoxes;
    std::unordered_map<XTTextRef, TextLocation> mTexts;
    // Cells of text references. They only grow, so a closed story's reference
    // never comes back as another story's.
    std::deque<char*> mTextCells;

    TokenTable<HostString, QString> mStrings{1};
    TokenTable<AssetSpaceRef, XTProjectId> mSpaces{5};
    TokenTable<XTColorList, XTProjectId> mColorLists{6};
    TokenTable<XTPicture, XTBoxRef> mPictureTokens{7};
    std::unordered_map<XTBoxRef, XTPicture> mPictures;

    struct HandleBlock
    {
        char* mData; // first: the handle is the address of this member
        int64_t mSize;
    };
    // Handles and the temporary folder are also used by a preview rendering
    // on its worker thread.
    mutable std::recursive_mutex mHandleMutex;
    std::unordered_set<const void*> mHandles;
    std::unordered_set<const XTBoxRecord*> mBoxRecords;
    std::unique_ptr<QTemporaryDir> mTemporaryDir;
};

} // namespace XTHost
