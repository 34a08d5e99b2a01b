#include "XTCalls.h"

#include <QHash>

#include <cstring>

namespace XT
{

xtsetuprec gSetup{};

const XTStringsTable* gStrings = nullptr;
const XTProjectTable* gProject = nullptr;
const XTSpreadTable* gSpread = nullptr;
const XTDocTable* gDoc = nullptr;
const XTBoxTable* gBox = nullptr;
const XTBoxFieldsTable* gBoxFields = nullptr;
const XTPictureTable* gPicture = nullptr;
const XTTextTable* gText = nullptr;
const XTAssetsTable* gAssets = nullptr;
const XTColorsTable* gColors = nullptr;
const XTNumbersTable* gNumbers = nullptr;
const XTFilesTable* gFiles = nullptr;
const XTMenusTable* gMenus = nullptr;
const XTResourcesTable* gResources = nullptr;
const XTPreferencesTable* gPreferences = nullptr;
const XTRenderingTable* gRendering = nullptr;
const XTGifFilterTable* gGifFilter = nullptr;
const XTPlatformTable* gPlatform = nullptr;

XECopyProc xecopy = nullptr;
XEPasteProc XEPaste = nullptr;
XTGetDocumentPreferencesProc XTGetDocumentPreferences = nullptr;
XTGetBoxGeometryProc XTGetBoxGeometry = nullptr;
XTGetAppIdleTimerEnableProc XTGetAppIdleTimerEnable = nullptr;
XTSetAppIdleTimerEnableProc XTSetAppIdleTimerEnable = nullptr;

XTStatus initsetuprecord(const xtsetuprec* record, int16_t major, int16_t minor, uint32_t flags)
{
    if (!record || record->major != major || record->minor != minor || record->flags != flags)
        return kWrongInterface;
    std::memcpy(&gSetup, record, sizeof gSetup);
    return kNoErr;
}

namespace
{

template <typename Table> bool Acquire(uint32_t group, const Table*& table)
{
    const void* found = nullptr;
    if (!gSetup.acquireGroup || gSetup.acquireGroup(group, kGroupVersion, &found) != 0 || !found)
        return false;
    table = static_cast<const Table*>(found);
    return true;
}

template <typename Proc> bool Resolve(int32_t selector, Proc& proc)
{
    void* found = nullptr;
    if (!gSetup.resolveSelector || gSetup.resolveSelector(selector, &found) != 0 || !found)
        return false;
    proc = reinterpret_cast<Proc>(found);
    return true;
}

} // namespace

bool AcquireGroups()
{
    const XTReservedTable* unicode = nullptr;
    const XTReservedTable* graphics = nullptr;
    const XTReservedTable* openType = nullptr;
    return Acquire(kGroupUnicode, unicode) && Acquire(kGroupGraphics, graphics) &&
           Acquire(kGroupStrings, gStrings) && Acquire(kGroupOpenType, openType) &&
           Acquire(kGroupProject, gProject) && Acquire(kGroupSpread, gSpread) && Acquire(kGroupDoc, gDoc) &&
           Acquire(kGroupBox, gBox) && Acquire(kGroupBoxFields, gBoxFields) &&
           Acquire(kGroupPicture, gPicture) && Acquire(kGroupText, gText) && Acquire(kGroupAssets, gAssets) &&
           Acquire(kGroupColors, gColors) && Acquire(kGroupNumbers, gNumbers) &&
           Acquire(kGroupFiles, gFiles) && Acquire(kGroupMenus, gMenus) &&
           Acquire(kGroupResources, gResources) && Acquire(kGroupPreferences, gPreferences) &&
           Acquire(kGroupRendering, gRendering) && Acquire(kGroupPlatform, gPlatform) &&
           Acquire(kGroupGifFilter, gGifFilter);
}

bool ResolveSelectors()
{
    return Resolve(kSelEditCopy, xecopy) && Resolve(kSelEditPaste, XEPaste) &&
           Resolve(kSelGetDocumentPreferences, XTGetDocumentPreferences) &&
           Resolve(kSelGetBoxGeometry, XTGetBoxGeometry) &&
           Resolve(kSelGetAppIdleTimerEnable, XTGetAppIdleTimerEnable) &&
           Resolve(kSelSetAppIdleTimerEnable, XTSetAppIdleTimerEnable);
}

void Release()
{
    gSetup = xtsetuprec{};
    gStrings = nullptr;
    gProject = nullptr;
    gSpread = nullptr;
    gDoc = nullptr;
    gBox = nullptr;
    gBoxFields = nullptr;
    gPicture = nullptr;
    gText = nullptr;
    gAssets = nullptr;
    gColors = nullptr;
    gNumbers = nullptr;
    gFiles = nullptr;
    gMenus = nullptr;
    gResources = nullptr;
    gPreferences = nullptr;
    gRendering = nullptr;
    gGifFilter = nullptr;
    gPlatform = nullptr;
    xecopy = nullptr;
    XEPaste = nullptr;
    XTGetDocumentPreferences = nullptr;
    XTGetBoxGeometry = nullptr;
    XTGetAppIdleTimerEnable = nullptr;
    XTSetAppIdleTimerEnable = nullptr;
}

QString ToQString(HostString string, bool release)
{
    if (!string)
        return QString();
    const int32_t length = gStrings->HostStringLength(string);
    const uint16_t* chars = gStrings->HostStringChars(string);
    // The host's units as they are: fromUtf16 would also drop a leading
    // U+FEFF, which in story text is a character like any other.
    QString text = (length > 0 && chars) ? QString(reinterpret_cast<const QChar*>(chars), length) : QString();
    if (release)
        gStrings->ReleaseHostString(string);
    return text;
}

HostString FromQString(const QString& text)
{
    return gStrings->HostStringFromUtf16(reinterpret_cast<const uint16_t*>(text.utf16()), text.size());
}

namespace
{

int sMemoUsers = 0;
QHash<quint64, QString> sMemo;

} // namespace

QString FixedToQString(Fixed value, int32_t format)
{
    if (sMemoUsers == 0)
        return ToQString(gNumbers->FixedToText(value, format));
    const quint64 key = (quint64(quint32(format)) << 32) | quint32(value);
    auto known = sMemo.constFind(key);
    if (known == sMemo.constEnd())
        known = sMemo.insert(key, ToQString(gNumbers->FixedToText(value, format)));
    return *known;
}

FixedTextMemo::FixedTextMemo()
{
    ++sMemoUsers;
}

FixedTextMemo::~FixedTextMemo()
{
    if (--sMemoUsers == 0)
        sMemo.clear();
}

Fixed QStringToFixed(const QString& text, int32_t format, bool* ok)
{
    HostStringHolder string(text);
    bool read = false;
    const Fixed value = gNumbers->TextToFixed(string.Get(), format, &read);
    if (ok)
        *ok = read;
    return value;
}

HostStringHolder::~HostStringHolder()
{
    if (mString)
        gStrings->ReleaseHostString(mString);
}

QString RefusalReason()
{
    return gProject && gProject->GetRefusalReason ? ToQString(gProject->GetRefusalReason()) : QString();
}

QString ErrorText(XTError error)
{
    switch (error)
    {
    case kErrRefused:
    {
        // The host's own reason, where it gave one.
        const QString reason = RefusalReason();
        return reason.isEmpty() ? QStringLiteral("the host refused the change (error %1)").arg(error)
                                : QStringLiteral("the host refused the change: %1").arg(reason);
    }
    case kErrNotFound:
        return QStringLiteral("the host could not find the item (error %1)").arg(error);
    case kErrParam:
        return QStringLiteral("the host did not accept the value (error %1)").arg(error);
    default:
        return QStringLiteral("the host reported error %1").arg(error);
    }
}

} // namespace XT
