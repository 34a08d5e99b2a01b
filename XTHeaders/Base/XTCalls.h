#pragma once

// The plug-in's side of the host interface: the setup record it keeps, and
// the function tables and single functions it acquired at setup. Every host
// call of the plug-in goes through these.

#include "XTGroups.h"

#include <QString>

namespace XT
{

// The plug-in's own copy of the host's setup record.
extern xtsetuprec gSetup;

extern const XTStringsTable* gStrings;
extern const XTProjectTable* gProject;
extern const XTSpreadTable* gSpread;
extern const XTDocTable* gDoc;
extern const XTBoxTable* gBox;
extern const XTBoxFieldsTable* gBoxFields;
extern const XTPictureTable* gPicture;
extern const XTTextTable* gText;
extern const XTAssetsTable* gAssets;
extern const XTColorsTable* gColors;
extern const XTNumbersTable* gNumbers;
extern const XTFilesTable* gFiles;
extern const XTMenusTable* gMenus;
extern const XTResourcesTable* gResources;
extern const XTPreferencesTable* gPreferences;
extern const XTRenderingTable* gRendering;
extern const XTGifFilterTable* gGifFilter;
extern const XTPlatformTable* gPlatform;

extern XECopyProc xecopy;
extern XEPasteProc XEPaste;
extern XTGetDocumentPreferencesProc XTGetDocumentPreferences;
extern XTGetBoxGeometryProc XTGetBoxGeometry;
extern XTGetAppIdleTimerEnableProc XTGetAppIdleTimerEnable;
extern XTSetAppIdleTimerEnableProc XTSetAppIdleTimerEnable;

// Checks the host's record against the interface version and copies it into
// gSetup. kWrongInterface when the versions differ.
XTStatus initsetuprecord(const xtsetuprec* record, int16_t major, int16_t minor, uint32_t flags);

// Acquires every group the plug-in calls; false at the first one the host
// does not offer.
[[nodiscard]] bool AcquireGroups();

// Resolves the six single functions; false at the first the host refuses.
[[nodiscard]] bool ResolveSelectors();

// Forgets every table and function, as before setup.
void Release();

// The text of a host string; releases it when asked to. An empty string for 0.
QString ToQString(HostString string, bool release = true);

// A new host string of a text; the caller releases it.
HostString FromQString(const QString& text);

// The host's reason for the last edit it refused with one, or empty.
QString RefusalReason();
// What a host error code means, for a message to the user.
QString ErrorText(XTError error);

// FixedToText as text.
QString FixedToQString(Fixed value, int32_t format);

// While one exists, FixedToQString answers a (value, format) pair it has
// answered before from memory: the same text, shared rather than made again.
// For the span of one pass over a document (building a comparison), in which
// the host's number formatting cannot change. UI thread only.
class FixedTextMemo
{
public:
    FixedTextMemo();
    ~FixedTextMemo();
    FixedTextMemo(const FixedTextMemo&) = delete;
    FixedTextMemo& operator=(const FixedTextMemo&) = delete;
};

// TextToFixed of a text; *ok tells whether the host read it.
Fixed QStringToFixed(const QString& text, int32_t format, bool* ok);

// Owns one host string for the length of a scope.
class HostStringHolder
{
public:
    explicit HostStringHolder(HostString string) : mString(string) {}
    explicit HostStringHolder(const QString& text) : mString(FromQString(text)) {}
    ~HostStringHolder();
    HostStringHolder(const HostStringHolder&) = delete;
    HostStringHolder& operator=(const HostStringHolder&) = delete;

    HostString Get() const { return mString; }

private:
    HostString mString;
};

} // namespace XT
