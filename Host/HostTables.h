#pragma once

// The host's function tables as a client acquires them through the setup
// record: for tools, benchmarks and tests that talk to the host directly, as
// the plug-in does.

#include "XTGroups.h"

#include <type_traits>

namespace XTHost
{

struct HostTables
{
    const XTStringsTable* mStrings = nullptr;
    const XTProjectTable* mProject = nullptr;
    const XTSpreadTable* mSpread = nullptr;
    const XTDocTable* mDoc = nullptr;
    const XTBoxTable* mBox = nullptr;
    const XTBoxFieldsTable* mFields = nullptr;
    const XTPictureTable* mPicture = nullptr;
    const XTTextTable* mText = nullptr;
    const XTAssetsTable* mAssets = nullptr;
    const XTColorsTable* mColors = nullptr;
    const XTNumbersTable* mNumbers = nullptr;
    const XTFilesTable* mFiles = nullptr;
    const XTPlatformTable* mPlatform = nullptr;
    XECopyProc mCopy = nullptr;
    XEPasteProc mPaste = nullptr;
    XTGetBoxGeometryProc mGeometry = nullptr;

    bool acquire(const xtsetuprec* setup)
    {
        auto get = [setup](uint32_t group, auto** table)
        {
            const void* raw = nullptr;
            if (setup->acquireGroup(group, XT::kGroupVersion, &raw) != XT::kNoErr || !raw)
                return false;
            *table = static_cast<std::remove_pointer_t<decltype(table)>>(raw);
            return true;
        };
        auto resolve = [setup](int32_t selector, auto* function)
        {
            void* raw = nullptr;
            if (setup->resolveSelector(selector, &raw) != XT::kNoErr || !raw)
                return false;
            *function = reinterpret_cast<std::remove_pointer_t<decltype(function)>>(raw);
            return true;
        };
        mPlatform = setup->platform;
        return get(XT::kGroupStrings, &mStrings) && get(XT::kGroupProject, &mProject) &&
               get(XT::kGroupSpread, &mSpread) && get(XT::kGroupDoc, &mDoc) && get(XT::kGroupBox, &mBox) &&
               get(XT::kGroupBoxFields, &mFields) && get(XT::kGroupPicture, &mPicture) &&
               get(XT::kGroupText, &mText) && get(XT::kGroupAssets, &mAssets) &&
               get(XT::kGroupColors, &mColors) && get(XT::kGroupNumbers, &mNumbers) &&
               get(XT::kGroupFiles, &mFiles) && resolve(XT::kSelEditCopy, &mCopy) &&
               resolve(XT::kSelEditPaste, &mPaste) && resolve(XT::kSelGetBoxGeometry, &mGeometry) &&
               mPlatform;
    }
};

} // namespace XTHost
