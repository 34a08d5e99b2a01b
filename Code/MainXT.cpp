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

XTStatus MainXT::ISetupCB(xtsetuprec* record)
{
    if (XT::initsetuprecord(record, XT::kInterfaceMajor, XT::kInterfaceMinor, XT::kInterfaceFlags) !=
        XT::kNoErr)
        return XT::kSetupFailed;
    if (!XT::AcquireGroups())
        return XT::kSetupFailed;

    // A host that gives no resource file number cannot give the plug-in its
    // labels either; refuse setup rather than run without them.
    if (XT::gResources->GetResourceFileNumber() == -1)
        return XT::kSetupFailed;

    {
        XT::HostStringHolder bundle(QString::fromLatin1(kBundleId));
        XT::HostStringHolder file(QString::fromLatin1(kStringsFile));
        XTResourceSet set = XT::gResources->NewResourceSet(bundle.Get());
        if (!set)
            return XT::kSetupFailed;
        if (XT::gResources->AddResourceFile(set, file.Get()) != 0)
        {
            XT::gResources->DisposeResourceSet(set);
            return XT::kSetupFailed;
        }
        if (mResourceSet)
            XT::gResources->DisposeResourceSet(mResourceSet);
        mResourceSet = set;
        LabelsChanged();
    }

    if (XT::gSetup.installSetupCallback(XT::kCbDeactivate, &DeactivateTrampoline, kSetupKind, kSetupPriority,
                                        0) != 0 ||
        XT::gSetup.installSetupCallback(XT::kCbSetLanguage, &SetLanguageTrampoline, kSetupKind,
                                        kSetupPriority, 0) != 0)
        return XT::kSetupFailed;

    mLanguageId = XT::gResources->GetCurrentLanguage();
    mResourceFileNumber = XT::gResources->GetResourceFileNumber();

    HostString title = LoadPluginHostString(1);
    mMenu = std::make_unique<CorvaneMenu>(title);
    if (title)
        XT::gStrings->ReleaseHostString(title);

    if (!XT::ResolveSelectors())
        return XT::kSetupFailed;
    return XT::kNoErr;
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
    // Process-wide, so that no two states of any instance share a value.
    static uint64_t sGenerations = 0;
    mLabelsGeneration = ++sGenerations;
}

void MainXT::Reset()
{
    if (mResourceSet && XT::gResources)
        XT::gResources->DisposeResourceSet(mResourceSet);
    mResourceSet = nullptr;
    mMenu.reset();
    PreferencesManager::GetInstance()->ReleaseHostStrings();
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
