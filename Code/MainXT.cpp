#include "MainXT.h"

#include "CorvaneMenu.h"
#include "PluginString.h"
#include "Preferences.h"
#include "XTCalls.h"

#include <cstring>

namespace
{

// The bundle whose resources hold the plug-in's string list.
const char kBundleId[] = "com.orvandel.corvanext";
const char kStringsFile[] = "Master.strings";

constexpr int32_t kSetupKind = 1;
constexpr int32_t kSetupPriority = 200;

XTStatus DeactivateTrampoline(void* record)
{
    return DeactivateCB(static_cast<xtvoidrec*>(record));
}

XTStatus SetLanguageTrampoline(void* record)
{
    return MainXT::SetLanguageCB(static_cast<xtsetlanguagerec*>(record));
}

// The plug-in's string resources: its bundle's set with "Master.strings"
// added; null when the host cannot make it.
XTResourceSet MakeResourceSet()
{
    XT::HostStringHolder bundle(QString::fromLatin1(kBundleId));
    XT::HostStringHolder file(QString::fromLatin1(kStringsFile));
    XTResourceSet set = XT::gResources->NewResourceSet(bundle.Get());
    if (set && XT::gResources->AddResourceFile(set, file.Get()) != 0)
    {
        XT::gResources->DisposeResourceSet(set);
        set = nullptr;
    }
    return set;
}

} // namespace

MainXT* MainXT::GetInstance()
{
    static MainXT instance;
    return &instance;
}

XTStatus MainXT::SetupCB(xtsetuprec* record)
{
    return GetInstance()->ISetupCB(record);
}

// Every step that can fail comes before anything the host could call back
// into: a setup that fails leaves no callback, no menu and no resource set
// behind, and forgets the host's tables, so nothing half set up can run.
XTStatus MainXT::ISetupCB(xtsetuprec* record)
{
    if (XT::initsetuprecord(record, XT::kInterfaceMajor, XT::kInterfaceMinor, XT::kInterfaceFlags) !=
        XT::kNoErr)
        return XT::kSetupFailed;
    if (!XT::AcquireGroups() || !XT::ResolveSelectors())
        return Abandon();

    // A host that gives no resource file number cannot give the plug-in its
    // labels either; refuse setup rather than run without them.
    if (XT::gResources->GetResourceFileNumber() == -1)
        return Abandon();

    XTResourceSet set = MakeResourceSet();
    if (!set)
        return Abandon();
    if (mResourceSet)
        XT::gResources->DisposeResourceSet(mResourceSet);
    mResourceSet = set;
    LabelsChanged();

    // The host offers no way to remove these two again. Should the second
    // fail, the first stays, but finds nothing to do: Abandon() forgets the
    // palette record, so the unload notice writes nothing.
    if (XT::gSetup.installSetupCallback(XT::kCbDeactivate, &DeactivateTrampoline, kSetupKind, kSetupPriority,
                                        0) != 0 ||
        XT::gSetup.installSetupCallback(XT::kCbSetLanguage, &SetLanguageTrampoline, kSetupKind,
                                        kSetupPriority, 0) != 0)
        return Abandon();

    mLanguageId = XT::gResources->GetCurrentLanguage();
    mResourceFileNumber = XT::gResources->GetResourceFileNumber();

    // The palette record is read now, so that the unload notice writes back
    // what the user had rather than a record of zeros.
    PreferencesManager::GetInstance()->ReadPreferences();

    HostString title = LoadPluginHostString(1);
    mMenu = std::make_unique<CorvaneMenu>(title);
    if (title)
        XT::gStrings->ReleaseHostString(title);
    return XT::kNoErr;
}

XTStatus MainXT::Abandon()
{
    Reset();
    return XT::kSetupFailed;
}

XTStatus MainXT::SetLanguageCB(xtsetlanguagerec* record)
{
    int16_t language = 0;
    std::memcpy(&language, reinterpret_cast<const char*>(record) + offsetof(xtsetlanguagerec, language),
                sizeof language);
    GetInstance()->SetLanguageID(language);
    return XT::kNoErr;
}

void MainXT::SetLanguageID(short language)
{
    mLanguageId = language;
    LabelsChanged();
}

void MainXT::LabelsChanged()
{
    SetPluginStrings(mResourceSet);
}

void MainXT::Reset()
{
    if (mResourceSet && XT::gResources)
        XT::gResources->DisposeResourceSet(mResourceSet);
    mResourceSet = nullptr;
    mMenu.reset();
    PreferencesManager::GetInstance()->ReleaseHost();
    mLanguageId = 0;
    mResourceFileNumber = -1;
    LabelsChanged();
    XT::Release();
}

MainXT::~MainXT()
{
    Reset();
}

XTStatus DeactivateCB(xtvoidrec*)
{
    PreferencesManager::GetInstance()->WritePreferences();
    return XT::kNoErr;
}
