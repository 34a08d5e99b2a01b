#pragma once

// Value types of the host interface. Every width here is the host's own:
// the plug-in and the host are built against this one header, so a value
// never changes size between them.

#include <cstdint>

extern "C"
{

    typedef int32_t XTStatus; // result of every host callback; 0 success
    typedef int32_t XTError;  // result of a host operation; 0 success
    typedef int16_t XTOSErr;  // result of the platform file calls

    typedef int32_t XTProjectId; // -1 none
    typedef int32_t DocRef;      // a layout; -1 none
    typedef int16_t XTDocNumber; // a layout's document number; -1 none
    typedef int32_t XTBoxRef;    // 0 none
    typedef char** XTTextRef;    // a story's text handle; 0 none
    typedef int32_t Fixed;       // 16.16 fixed point
    typedef uint32_t XTFourCC;   // four-character code, first character in the high byte
    typedef int32_t AssetUID;    // -1 none
    typedef int16_t XTColorId;
    typedef int16_t XTMenuItemId;
    typedef int16_t XTCallbackId;

    typedef char** XTHandle; // variable-length buffer: *handle points to the bytes

    typedef struct XTHostStringData* HostString;    // 0 none
    typedef struct XTAssetSpaceData* AssetSpaceRef; // 0 none
    typedef struct XTAssetIteratorData* AssetIteratorRef;
    typedef struct XTAssetCopyData* XTAssetCopyContext;
    typedef struct XTColorListData* XTColorList;
    typedef struct XTFileSpecData* XTFileSpec; // 0 none
    typedef struct XTFileRefData* XTFileRef;   // an open preferences file
    typedef struct XTResourceSetData* XTResourceSet;
    typedef struct XTMenuData* XTMenu;
    typedef struct XTPictureData* XTPicture; // 0 none
    typedef struct XTRenderContextData* XTRenderContext;
    typedef struct XTImageData* XTImage;

    struct XTFixedRect
    {
        Fixed left;
        Fixed top;
        Fixed right;
        Fixed bottom;
    };

    struct XTFixedPoint
    {
        Fixed h;
        Fixed v;
    };

    // The platform's 16-bit rectangle.
    struct Rect
    {
        int16_t top;
        int16_t left;
        int16_t bottom;
        int16_t right;
    };

} // extern "C"

namespace XT
{

constexpr XTProjectId kNoProject = -1;
constexpr DocRef kNoDoc = -1;
constexpr XTDocNumber kNoDocNumber = -1;
constexpr XTBoxRef kNoBox = 0;
constexpr AssetUID kNoAsset = -1;

constexpr XTFourCC FourCC(const char (&code)[5])
{
    return (XTFourCC(uint8_t(code[0])) << 24) | (XTFourCC(uint8_t(code[1])) << 16) |
           (XTFourCC(uint8_t(code[2])) << 8) | XTFourCC(uint8_t(code[3]));
}

constexpr Fixed kFixedOne = 0x10000;

// Host status codes answered by callbacks.
constexpr XTStatus kNoErr = 0;
constexpr XTStatus kSetupFailed = 0x51000401;
constexpr XTStatus kWrongInterface = 0x5100040F;

// Host errors returned by operations.
constexpr XTError kErrNotFound = -43;
constexpr XTError kErrParam = -50;
constexpr XTError kErrRefused = -5000;
constexpr XTOSErr kEofErr = -39;

// The interface version this plug-in is built for.
constexpr int16_t kInterfaceMajor = 5;
constexpr int16_t kInterfaceMinor = 361;
constexpr uint32_t kInterfaceFlags = 0x40F00000;

// The plug-in's identity and the activation request.
constexpr int32_t kXTensionId = 0x324E4844;
constexpr uint32_t kActivationFlags = 0x40F00014;

// Layout type codes.
constexpr XTFourCC kLayoutPrint = FourCC("XDOC");
constexpr XTFourCC kLayoutWeb = FourCC("XWEB");
constexpr XTFourCC kLayoutEps = FourCC("XEPS");
constexpr XTFourCC kLayoutApp = FourCC("XAPS");

// Project file types.
constexpr XTFourCC kFileProject = FourCC("XPRJ");
constexpr XTFourCC kFileTemplate = FourCC("XPRT");

// Box content kinds (GetBoxContentType).
enum BoxContent : int16_t
{
    kContentNone = 0,
    kContentSpread = 1,
    kContentGroup = 2,
    kContentText = 3,
    kContentPicture = 4,
    kContentUser = 5
};

// Asset kinds run from 1 to 18; kind 3 holds the colours.
constexpr int32_t kFirstAssetKind = 1;
constexpr int32_t kLastAssetKind = 18;
constexpr int32_t kColorAssetKind = 3;

// Callback codes.
enum CallbackCode : int32_t
{
    kCbSetup = 1,
    kCbDeactivate = 4,
    kCbSetLanguage = 5,
    kCbAddMenuItems = 6,
    kCbUpdateMenuItems = 7,
    kCbPostTextInsert = 258,
    kCbPostTextDelete = 367,
    kCbHandleCommand = 618,
    kCbPostHiddenTextInsert = 738
};

// Selector numbers of single host functions.
enum Selector : int32_t
{
    kSelEditCopy = 3052,
    kSelEditPaste = 3053,
    kSelGetDocumentPreferences = 2908,
    kSelGetBoxGeometry = 5571,
    kSelGetAppIdleTimerEnable = 3197,
    kSelSetAppIdleTimerEnable = 3196
};

// Measure formats of FixedToText / TextToFixed.
enum MeasureFormat : int32_t
{
    kFormatPercent = 101,   // "100%"
    kFormatDegrees = 105,   // "12.5°"
    kFormatInset = 113,     // points, for text insets: "1 pt"
    kFormatVertical = 115,  // points, vertical measures: "72 pt"
    kFormatHorizontal = 116 // points, horizontal measures: "72 pt"
};

// The colour query selectors (QueryColor) and what the host answers.
enum ColorQuery : int32_t
{
    kColorModel = 0,       // 0 RGB, 1 CMYK, 2 spot
    kColorIsSpot = 3,      // non-zero for a spot colour
    kColorIsBuiltIn = 4,   // non-zero for the host's own colours (none, registration, white, black...)
    kColorIsEditable = 5,  // non-zero when the user may edit it
    kColorUseCount = 6,    // number of boxes that use it
    kColorIsRequired = 108 // non-zero for built-ins that no project can lose (none, registration)
};

constexpr uint32_t kColorSpacePSDX = 0x50534458;

// Function groups, acquired by id and version at setup.
enum GroupId : uint32_t
{
    kGroupStrings = FourCC("xstr"),
    kGroupProject = FourCC("xprj"),
    kGroupSpread = FourCC("xspr"),
    kGroupDoc = FourCC("xdoc"),
    kGroupBox = FourCC("xbox"),
    kGroupBoxFields = FourCC("xbfl"),
    kGroupPicture = FourCC("xpic"),
    kGroupText = FourCC("xtxt"),
    kGroupAssets = FourCC("xxas"),
    kGroupColors = FourCC("xclr"),
    kGroupNumbers = FourCC("xnum"),
    kGroupFiles = FourCC("xfil"),
    kGroupMenus = FourCC("xmnu"),
    kGroupResources = FourCC("xres"),
    kGroupPreferences = FourCC("xprf"),
    kGroupRendering = FourCC("xrnd"),
    kGroupPlatform = FourCC("xplt"),
    kGroupUnicode = FourCC("xuni"),
    kGroupGraphics = FourCC("xgfx"),
    kGroupOpenType = FourCC("xotf"),
    kGroupGifFilter = 0x676B5251
};

constexpr int32_t kGroupVersion = 1;

} // namespace XT
