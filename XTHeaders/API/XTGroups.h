#pragma once

// The host's function tables, one per group. A plug-in acquires each table at
// setup (xtsetuprec::acquireGroup) and calls the host only through them.
// Absent results are the none values of XTTypes.h, an empty (null) HostString
// or a non-zero error; nothing here throws.

#include "XTRecords.h"
#include "XTTypes.h"

extern "C"
{

    struct XTStringsTable
    {
        HostString (*HostStringFromUtf16)(const uint16_t* chars, int32_t length);
        int32_t (*HostStringLength)(HostString string);
        const uint16_t* (*HostStringChars)(HostString string);
        void (*ReleaseHostString)(HostString string);
        // String `index` of list `listId` in the resource set; 0 when there is none.
        HostString (*LoadPluginString)(int32_t listId, int32_t index, XTResourceSet set);
    };

    struct XTProjectTable
    {
        HostString (*GetProjectPath)(XTProjectId project);
        int32_t (*GetLayoutCount)(XTProjectId project);
        // Layouts in ascending layout number; kNoDoc past the end.
        DocRef (*GetLayout)(XTProjectId project, int32_t index);
        HostString (*GetLayoutName)(DocRef doc);
        XTFourCC (*GetLayoutType)(DocRef doc);
        int32_t (*GetLayoutIndex)(DocRef doc);
        // Files and the open-project list.
        XTProjectId (*OpenProjectFile)(XTFileSpec file, int32_t flags);
        bool (*IsProjectModified)(XTProjectId project);
        XTError (*SaveProject)(XTProjectId project, int32_t flags, int32_t options);
        XTError (*CloseProject)(XTProjectId project, int32_t flags);
        int32_t (*GetOpenProjectCount)();
        XTProjectId (*GetOpenProject)(int32_t index);
        // Fills the two file handles (the project's file and its backing file)
        // and says which one names the project.
        XTError (*GetProjectFiles)(XTProjectId project, XTFileSpec first, XTFileSpec second, bool* useSecond);
        // Why the last OpenProjectFile gave no project (a message naming the file
        // and the place), or 0.
        HostString (*GetOpenError)();
        // Copies a layout of another project into `destination`, with its
        // spreads, pages and boxes (each as CopySpread copies it), under its
        // layout number; kNoDoc when the destination has a layout of that
        // number.
        DocRef (*CopyLayout)(DocRef source, XTProjectId destination);
        // Removes a layout with everything on it.
        XTError (*DeleteLayout)(DocRef doc);
        XTError (*SetLayoutName)(DocRef doc, HostString name);
        // Why the host refused the last edit it refused with a reason of its
        // own (a copy the destination's file format cannot hold), or 0.
        HostString (*GetRefusalReason)();
    };

    // Spreads, pages and masters. Normal spreads count from 1; a spread box's
    // spread number counts the master spreads first.
    struct XTSpreadTable
    {
        int16_t (*GetSpreadCount)(DocRef doc, int32_t flags);
        XTBoxRef (*GetSpreadBox)(DocRef doc, int16_t index);
        int16_t (*GetSpreadNumber)(XTBoxRef spreadBox);
        // A handle of 16-bit page numbers (normal pages count from 1); the caller
        // disposes it. 0 when the spread does not exist.
        XTHandle (*GetSpreadPages)(DocRef doc, int16_t index);
        // Copies a box, with its story when it shows one, onto a spread of another
        // layout; returns the new box or kNoBox. The box keeps its number where
        // the layout has it free, else takes one neither layout uses. A story the
        // destination has under the same number takes the box into its chain
        // where the source's chain has it; else the story is copied (its number
        // kept where free, else one neither project uses) and runs through each
        // box of the source's chain that the destination has. A box colour the
        // destination lacks comes with the box.
        XTBoxRef (*CopyBoxToSpread)(DocRef source, XTBoxRef box, DocRef destination, XTBoxRef spreadBox);
        HostString (*GetPageLabel)(DocRef doc, int16_t page);
        int16_t (*GetMasterSpreadCount)(DocRef doc);
        int16_t (*GetMasterPageCount)(DocRef doc);
        // Inserts a copy of normal spread `index` of a layout of another
        // project, with its pages and boxes (each as CopyBoxToSpread copies
        // it), as normal spread `at` of `destination` (past the last: last);
        // returns the new spread box or kNoBox.
        XTBoxRef (*CopySpread)(DocRef source, int16_t index, DocRef destination, int16_t at);
        // Removes a spread with every box on it (each as DeleteBox removes it).
        XTError (*DeleteSpread)(XTBoxRef spreadBox);
        // A spread's pages by position on it, counted from 1. A spread keeps at
        // least one page: deleting its last is refused.
        XTError (*InsertPage)(XTBoxRef spreadBox, int16_t at, HostString label);
        XTError (*DeletePage)(XTBoxRef spreadBox, int16_t at);
        XTError (*SetPageLabel)(XTBoxRef spreadBox, int16_t at, HostString label);
    };

    struct XTDocTable
    {
        DocRef (*DocumentRefFromNumber)(XTDocNumber number);
        XTDocNumber (*DocumentNumberFromRef)(DocRef doc);
        XTError (*GetSpreadBounds)(DocRef doc, int16_t index, Fixed bounds[4]);
        XTError (*SetSpreadBounds)(DocRef doc, int16_t index, Fixed b0, Fixed b1, Fixed b2, Fixed b3);
        int16_t (*GetSpreadShortValue)(DocRef doc, int16_t index);
        XTError (*SetSpreadShortValue)(DocRef doc, int16_t index, int16_t value);
        Fixed (*GetSpreadFixedValue)(DocRef doc, int16_t index);
        XTError (*SetSpreadFixedValue)(DocRef doc, int16_t index, Fixed value);
    };

    struct XTBoxTable
    {
        XTBoxRef (*GetCurrentBox)();
        void (*SetCurrentBox)(XTBoxRef box);
        HostString (*GetBoxName)(XTBoxRef box);
        // Unique within a layout and kept in the file.
        int32_t (*GetBoxNumber)(XTBoxRef box, int32_t flags);
        // The boxes on a spread in their stacking order, bottom first; kNoBox
        // past the last.
        XTBoxRef (*GetFirstBox)(XTBoxRef spreadBox, int32_t flags);
        XTBoxRef (*GetNextBox)(XTBoxRef box, int32_t flags);
        DocRef (*GetBoxDocument)(XTBoxRef box);
        int16_t (*GetBoxContentType)(XTBoxRef box);
        bool (*IsPictureBox)(XTBoxRef box);
        bool (*IsTextBox)(XTBoxRef box);
        // Moves the box by (dv, dh).
        XTError (*MoveBox)(XTBoxRef box, Fixed dv, Fixed dh, int32_t flags);
        // A copy of the box's record, or 0; the caller disposes it.
        XTBoxRecord* (*GetBoxRecord)(int32_t flags, XTBoxRef box, int32_t options);
        XTError (*SetBoxRecord)(const XTBoxRecord* record, XTBoxRef box, int32_t flags, int32_t options);
        void (*DisposeBoxRecord)(XTBoxRecord* record, int32_t flags);
        XTError (*GetBoxBounds)(XTBoxRef box, int32_t flags, int32_t precision, XTFixedRect* bounds);
        // Renames the box; its number, not its name, is its identity.
        XTError (*SetBoxName)(XTBoxRef box, HostString name);
        // Removes a box (not a spread's own box). Its story loses it from its
        // chain (a story left in no box stays, in no box). No other box or
        // story is renumbered, and references to the box find nothing after.
        XTError (*DeleteBox)(XTBoxRef box);
        // The name the document's program shows for a box that has no name
        // of its own (GetBoxName gives the box's own name, empty then), such
        // as Scribus's "Text12": it follows the box's place in its document,
        // and so does the box's number, which its file does not keep and
        // which changes when a box before it goes. Empty for a box whose
        // number the file keeps.
        HostString (*GetBoxDefaultName)(XTBoxRef box);
        // Moves a box in its spread's stacking order (the order GetFirstBox
        // and GetNextBox give, bottom first) to just above `below`, a box of
        // the same spread, or to the bottom for kNoBox.
        XTError (*SetBoxStackedAbove)(XTBoxRef box, XTBoxRef below);
        // Moves a box onto another normal spread of its layout, at the same
        // place relative to the spread's corner, on top of that spread's
        // stacking order; it keeps its number and its story.
        XTError (*MoveBoxToSpread)(XTBoxRef box, XTBoxRef spreadBox);
    };

    // Box properties are named by label number; every value fits 32 bits
    // (measures as Fixed, integers, byte codes, booleans as 0 or 1).
    struct XTBoxFieldsTable
    {
        int32_t (*GetBoxProperty)(XTBoxRef box, int32_t property);
        XTError (*SetBoxProperty)(XTBoxRef box, int32_t property, int32_t value);
        XTError (*GetTextInsets)(XTBoxRef box, Fixed insets[4]);
        XTError (*SetTextInsets)(XTBoxRef box, const Fixed insets[4]);
        int32_t (*GetInsetSetting)(XTBoxRef box);
        XTError (*SetInsetSetting)(XTBoxRef box, int32_t setting);
        // The box's background colour by name; empty for none. Setting a name
        // that is neither built in nor a colour of the box's project is
        // refused (kErrNotFound).
        HostString (*GetBoxColor)(XTBoxRef box);
        XTError (*SetBoxColor)(XTBoxRef box, HostString name);
    };

    struct XTPictureTable
    {
        XTPicture (*GetBoxPicture)(XTBoxRef box);
        int32_t (*GetPictureProperty)(XTPicture picture, int32_t property);
        XTError (*SetPictureProperty)(XTPicture picture, int32_t property, int32_t value);
        // A new file handle of the picture's file, or 0; the caller
        // disposes it.
        XTFileSpec (*GetPictureFile)(XTPicture picture);
        // The picture's file as the document refers to it: relative to the
        // document's folder where the document stores it so. Empty for none.
        HostString (*GetPictureReference)(XTPicture picture);
        XTError (*SetPictureReference)(XTPicture picture, HostString reference);
    };

    // Story text, selection, hidden text. Offsets and counts are UTF-16 units and
    // include the units of hidden runs.
    struct XTTextTable
    {
        int32_t (*GetStoryNumber)(XTTextRef text);
        // Fills `boxes` with the 32-bit boxes the story runs through, first box
        // first (resizing the handle).
        XTError (*GetStoryBoxes)(XTTextRef text, int32_t flags, XTHandle boxes);
        int32_t (*CountTextChars)(XTTextRef text, int32_t flags, int32_t options);
        // Copies up to `count` units from `start`; returns the number copied.
        int32_t (*GetTextChars)(XTTextRef text, int32_t start, int32_t count, uint16_t* buffer);
        // The text a box shows, and its selection.
        XTTextRef (*GetTextSelection)(XTBoxRef box, int32_t* start, int32_t* end);
        XTError (*SetTextSelection)(XTTextRef text, int32_t start, int32_t end, int32_t flags);
        XTError (*DeleteTextRange)(XTTextRef text, int32_t start, int32_t end, int32_t flags,
                                   int32_t options);
        // Copies [start, end) of one story into another at `offset`, hidden runs
        // included, without the clipboard.
        XTError (*CopyTextRange)(XTTextRef source, int32_t start, int32_t end, XTTextRef destination,
                                 int32_t offset);
        // Stories of a project: the first entry (0 when none), its text, and the
        // next story after a text (0 after the last).
        intptr_t (*GetFirstStoryEntry)(XTProjectId project);
        XTTextRef (*GetStoryText)(intptr_t entry);
        XTTextRef (*GetNextStory)(XTTextRef text);
        // Moves *position to the start of the next hidden run before `end`.
        XTError (*FindHiddenRun)(XTTextRef text, int32_t* position, int32_t end, int32_t flags1,
                                 int32_t flags2, int32_t forward, int32_t options, bool* found);
        // The run's length without its marker unit.
        int32_t (*GetHiddenRunLength)(XTTextRef text, int32_t position);
        // Moves an offset inside a hidden run to the run's end.
        XTError (*AdjustOffsetForHidden)(XTTextRef text, int32_t* offset, int32_t flags);
        // Copies a story of another project into `destination` under its
        // number, running through the destination's boxes that have the
        // numbers of the source's chain (each leaves the story it showed);
        // 0 when the destination has a story of that number, or none of those
        // boxes while the source runs through some (a story in no box is
        // copied in no box).
        XTTextRef (*CopyStory)(XTTextRef source, XTProjectId destination);
        // Removes a story; the boxes it ran through stay, empty.
        XTError (*DeleteStory)(XTTextRef text);
        // The name of the box the story's document names it after (a
        // Scribus document numbers a story after its first frame), as the
        // box shows it; empty for a story whose number stands on its own.
        HostString (*GetStoryDefaultName)(XTTextRef text);
        // The formatting of [start, end) as runs (XTTextFormat.h), each
        // character with its paragraph's attributes; an empty string for
        // text without formatting.
        XTError (*GetTextFormatting)(XTTextRef text, int32_t start, int32_t end, HostString* runs);
        // Formats [start, end) by runs in that form: each character takes
        // the character attributes of its run, and each paragraph with a
        // character in the range the paragraph attributes of its last one
        // there. The text itself does not change.
        XTError (*SetTextFormatting)(XTTextRef text, int32_t start, int32_t end, HostString runs);
    };

    struct XTAssetsTable
    {
        AssetSpaceRef (*GetAssetSpace)(XTProjectId project);
        XTError (*NewAssetIterator)(AssetSpaceRef space, int32_t kind, AssetIteratorRef* iterator);
        // Non-zero past the last asset.
        XTError (*NextAsset)(AssetIteratorRef iterator);
        AssetUID (*GetIteratorAsset)(AssetIteratorRef iterator);
        void (*DisposeAssetIterator)(AssetIteratorRef iterator);
        HostString (*GetAssetName)(AssetSpaceRef space, int32_t kind, AssetUID uid);
        HostString (*GetAssetDescription)(AssetSpaceRef space, int32_t kind, AssetUID uid, int32_t flags);
        XTError (*BeginAssetCopy)(AssetSpaceRef source, AssetSpaceRef destination, int32_t mode,
                                  XTAssetCopyContext* context);
        // Creates the asset in the destination, or makes the destination's asset
        // of that name take the source's content; *uid receives its id.
        XTError (*CopyAsset)(AssetSpaceRef source, AssetSpaceRef destination, int32_t kind,
                             AssetUID sourceUid, AssetUID* uid, XTAssetCopyContext context);
        XTColorList (*GetColorList)(AssetSpaceRef space);
        // Removes an asset. A colour that a box of the project names is in use
        // and is not removed (kErrRefused); nor is a built-in colour.
        XTError (*DeleteAsset)(AssetSpaceRef space, int32_t kind, AssetUID uid);
    };

    struct XTColorsTable
    {
        // Answers a question (a ColorQuery selector) about one colour of a list.
        int32_t (*QueryColor)(XTColorList list, XTColorId color, int32_t selector);
        XTError (*GetColorRGB)(XTColorList list, XTColorId color, Fixed scale, uint32_t colorSpace,
                               int32_t flags, uint16_t* red, uint16_t* green, uint16_t* blue);
    };

    struct XTNumbersTable
    {
        HostString (*FixedToText)(Fixed value, int32_t format);
        // Clears *ok (and returns 0) for a text or format it cannot read.
        Fixed (*TextToFixed)(HostString text, int32_t format, bool* ok);
    };

    struct XTFilesTable
    {
        XTFileSpec (*FileFromPath)(HostString path);
        XTFileSpec (*NewFileSpec)();
        void (*DisposeFile)(XTFileSpec file);
        HostString (*GetFilePath)(XTFileSpec file);
        XTError (*SetFileName)(XTFileSpec file, HostString name);
        // Points the file at the host's temporary folder.
        XTError (*GetTempFolder)(XTFileSpec file);
        XTError (*DeleteFile)(XTFileSpec file);
        XTError (*GetFileInfo)(XTFileSpec file, XTFileInfo* info);
        XTError (*IsFileOfType)(const XTFileInfo* info, const XTFourCC* types, int32_t count, bool* result);
        bool (*SameFile)(XTFileSpec first, XTFileSpec second);
    };

    struct XTMenusTable
    {
        XTMenu (*GetMenu)(int32_t menuId);
        XTMenuItemId (*NewMenuItemId)();
        XTMenu (*NewSubmenu)();
        XTError (*AppendMenuItem)(XTMenu menu, XTMenuItemId id, HostString text);
        XTError (*AttachSubmenu)(XTMenuItemId item, XTMenu submenu);
    };

    struct XTResourcesTable
    {
        int16_t (*GetResourceFileNumber)();
        XTResourceSet (*NewResourceSet)(HostString bundleId);
        XTError (*AddResourceFile)(XTResourceSet set, HostString fileName);
        void (*DisposeResourceSet)(XTResourceSet set);
        int16_t (*GetCurrentLanguage)();
    };

    struct XTPreferencesTable
    {
        XTError (*OpenPreferencesFile)(HostString name, int32_t permission, int32_t create, XTFileRef* file);
        XTError (*CloseFile)(XTFileRef file, int32_t flags);
        XTError (*GetPaletteBounds)(int32_t palette, Rect* bounds);
    };

    struct XTRenderingTable
    {
        XTRenderContext (*NewRenderContext)();
        XTError (*SetRenderSize)(XTRenderContext context, int32_t width, int32_t height);
        // A handle of 8-byte entries: a 32-bit box and 32-bit flags.
        XTError (*SetRenderBoxes)(XTRenderContext context, XTHandle boxList);
        XTError (*RenderBoxesToImage)(XTRenderContext context, XTImage* image);
        void (*DisposeRenderContext)(XTRenderContext context);
        void (*DisposeImage)(XTImage image);
    };

    struct XTGifFilterTable
    {
        XTError (*WriteGifFile)(XTImage image, XTFileSpec file);
    };

    typedef XTOSErr (*AEEventHandlerProc)(const void* event, void* reply, intptr_t refcon);

    // What the platform gives every program: memory handles, file reads and
    // writes, and the Apple-event handler table.
    struct XTPlatformTable
    {
        XTHandle (*NewHandle)(int64_t size);
        XTHandle (*NewHandleClear)(int64_t size);
        int64_t (*GetHandleSize)(XTHandle handle);
        XTOSErr (*SetHandleSize)(XTHandle handle, int64_t size);
        void (*DisposeHandle)(XTHandle handle);
        // *count: bytes asked for in, bytes transferred out; kEofErr at the end.
        XTOSErr (*FSRead)(XTFileRef file, int32_t* count, void* buffer);
        XTOSErr (*FSWrite)(XTFileRef file, int32_t* count, const void* buffer);
        XTOSErr (*AEGetEventHandler)(XTFourCC eventClass, XTFourCC eventId, AEEventHandlerProc* handler,
                                     intptr_t* refcon, bool systemHandler);
        XTOSErr (*AEInstallEventHandler)(XTFourCC eventClass, XTFourCC eventId, AEEventHandlerProc handler,
                                         intptr_t refcon, bool systemHandler);
    };

    // Single functions resolved by selector.
    typedef XTError (*XECopyProc)(int32_t what, int32_t flags, int32_t toClipboard, int32_t options);
    typedef XTError (*XEPasteProc)(XTBoxRef box, int32_t what, int32_t flags, int32_t options);
    typedef XTError (*XTGetDocumentPreferencesProc)(DocRef doc, XTDocumentPreferences* preferences);
    typedef XTError (*XTGetBoxGeometryProc)(XTBoxRef box, XTBoxGeometry* geometry);
    typedef bool (*XTGetAppIdleTimerEnableProc)();
    typedef void (*XTSetAppIdleTimerEnableProc)(bool enable);

} // extern "C"

extern "C"
{

    // Groups the plug-in acquires but whose functions it does not call (Unicode,
    // graphics, OpenType): acquiring them checks that the host offers them.
    struct XTReservedTable
    {
        int32_t version;
    };

} // extern "C"
