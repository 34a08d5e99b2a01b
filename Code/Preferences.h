#pragma once

#include "XTTypes.h"

// The palette record kept in the host's preferences file "Trellium
// Preferences": the palette's top-left corner and one flag.
class PreferencesManager
{
public:
    static PreferencesManager* GetInstance();

    // Reads the record; an empty file gets the default record (72, 72, 0).
    // True when the last transfer succeeded.
    bool ReadPreferences();
    void WritePreferences();

    Rect GetPaletteRect(long palette) const;
    void SetPaletteRect(const Rect& rect);

    int16_t Top() const { return mTop; }
    int16_t Left() const { return mLeft; }
    uint8_t Flag() const { return mFlag; }
    void SetFlag(uint8_t flag) { mFlag = flag; }

    // Lets go of the host strings it holds, when the plug-in lets go of its
    // host.
    void ReleaseHostStrings();

    ~PreferencesManager();

private:
    PreferencesManager();
    PreferencesManager(const PreferencesManager&) = delete;
    PreferencesManager& operator=(const PreferencesManager&) = delete;
    void MakeFileName();

    int16_t mTop = 0;
    int16_t mLeft = 0;
    uint8_t mFlag = 0;
    HostString mFileName = nullptr;
    int32_t mByteCount = 0;
};
