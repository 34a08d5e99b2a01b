#pragma once

// Every record the host and the plug-in exchange, with the byte offsets the
// plug-in reads checked at compile time. Callback records start with the
// callback code and the record's size; the fields the plug-in reads sit at
// fixed offsets behind that header, some of them unaligned, so the records are
// packed.

#include "XTTypes.h"

#include <cstddef>

extern "C"
{

    // A setup-time callback: the host passes its record.
    typedef XTStatus (*XTCallbackProc)(void* record);
    // A registered callback: the host passes its record and the user data given at
    // registration.
    typedef XTStatus (*XTUserCallbackProc)(void* record, unsigned long userData);

    // What XTActivateCallback receives. Its three functions are, in order: the
    // activation request, the registration of the setup callback, and the
    // confirmation of the plug-in's activation level.
    struct xtactivaterec
    {
        bool (*request)(int32_t xtId, int32_t reserved1, int32_t level, uint32_t flags, int32_t reserved2);
        XTError (*registerSetup)(XTCallbackProc setup, int32_t kind, int32_t priority, int32_t reserved);
        void (*confirm)(int32_t level);
    };

    // The host's function tables, selectors and callback registration, handed to
    // the plug-in's setup callback. 56 bytes: the interface version and six entry
    // points.
    struct xtsetuprec
    {
        int16_t major;
        int16_t minor;
        uint32_t flags;
        // Fills *table with the group's function table; non-zero when the host
        // does not offer the group in that version.
        XTError (*acquireGroup)(uint32_t group, int32_t version, const void** table);
        // Resolves a single host function by selector number.
        XTError (*resolveSelector)(int32_t selector, void** function);
        // Registers a callback; the host writes its id to *id.
        XTError (*installCallback)(int32_t xtId, int32_t code, XTUserCallbackProc handler, uint16_t kind,
                                   int16_t priority, XTCallbackId* id, unsigned long userData);
        XTError (*removeCallback)(int32_t code, XTCallbackId id);
        // The setup-time form, for the plug-in's own life-cycle callbacks.
        XTError (*installSetupCallback)(int32_t code, XTCallbackProc handler, int32_t kind, int32_t priority,
                                        int32_t reserved);
        // The platform's Apple-event handler table.
        const struct XTPlatformTable* platform;
    };

#pragma pack(push, 1)

    struct xtrecheader
    {
        int32_t code;
        int32_t size;
    };

    struct xtvoidrec
    {
        xtrecheader header;
    };

    struct xtsetlanguagerec
    {
        xtrecheader header;
        int16_t language;
    };

    struct xtaddmenuitemsrec
    {
        xtrecheader header;
        int32_t menuId;
    };

    struct xtupdatemenuitemsrec
    {
        xtrecheader header;
        int32_t menuId;
    };

    struct xthandlecommandrec
    {
        xtrecheader header;
        XTMenuItemId commandId;
    };

    // A text insertion, sent after the characters are in the story.
    struct XTInsertTextRec
    {
        xtrecheader header;
        XTTextRef text;
        uint8_t reserved[110];
        int32_t offset;
        int32_t count;
    };

    // An insertion that carried hidden runs with it.
    struct XTInsertHiddenBytesRec
    {
        xtrecheader header;
        XTTextRef text;
        int32_t offset;
        uint8_t reserved[112];
        uint16_t count;
    };

    // A deletion, sent after the characters left the story.
    struct XTDeleteTextRec
    {
        xtrecheader header;
        XTTextRef text;
        int32_t offset;
        int32_t count;
    };

    // The host's box record (GetBoxRecord / SetBoxRecord). Width and height are
    // the only fields the plug-in changes; the rest is the host's.
    struct XTBoxRecord
    {
        xtrecheader header;
        XTBoxRef box;
        uint8_t reserved1[142];
        int32_t width;
        int32_t height;
        uint8_t reserved2[38];
    };

#pragma pack(pop)

    // XTGetBoxGeometry: the bounding rectangle and the origin of a box.
    struct XTBoxGeometry
    {
        XTFixedRect bounds;
        XTFixedPoint origin;
    };

    // GetFileInfo: what the host knows of a file without opening it.
    struct XTFileInfo
    {
        XTFourCC fileType;
        int64_t size;
        bool isDirectory;
    };

    // XTGetDocumentPreferences.
    struct XTDocumentPreferences
    {
        int32_t measureUnits;
        Fixed defaultInset;
    };

    static_assert(sizeof(xtsetuprec) == 56, "the setup record is 56 bytes");
    static_assert(offsetof(xtsetlanguagerec, language) == 8, "language at byte 8");
    static_assert(offsetof(xtaddmenuitemsrec, menuId) == 8, "menu at byte 8");
    static_assert(offsetof(xthandlecommandrec, commandId) == 8, "command at byte 8");
    static_assert(offsetof(XTInsertTextRec, text) == 8, "insert: text at byte 8");
    static_assert(offsetof(XTInsertTextRec, offset) == 126, "insert: offset at byte 126");
    static_assert(offsetof(XTInsertTextRec, count) == 130, "insert: count at byte 130");
    static_assert(offsetof(XTInsertHiddenBytesRec, text) == 8, "hidden insert: text at byte 8");
    static_assert(offsetof(XTInsertHiddenBytesRec, offset) == 16, "hidden insert: offset at byte 16");
    static_assert(offsetof(XTInsertHiddenBytesRec, count) == 132, "hidden insert: count at byte 132");
    static_assert(offsetof(XTDeleteTextRec, text) == 8, "delete: text at byte 8");
    static_assert(offsetof(XTDeleteTextRec, offset) == 16, "delete: offset at byte 16");
    static_assert(offsetof(XTDeleteTextRec, count) == 20, "delete: count at byte 20");
    static_assert(offsetof(XTBoxRecord, width) == 154, "box record: width at byte 154");
    static_assert(offsetof(XTBoxRecord, height) == 158, "box record: height at byte 158");

} // extern "C"
