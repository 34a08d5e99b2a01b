#pragma once

#include "XTTypes.h"

// The palette record kept in the host's preferences file "Trellium
// Preferences": the palette's top-left corner and one flag.
class PreferencesManager
{
public:
    // The record as the file holds it (6 bytes, the machine's byte order).
    struct Record;

    static PreferencesManager* GetInstance();

    // Reads the record. A file too short to hold one (an empty or new file
    // among them) gets the default record (72, 72, 0); a file that cannot be
    // read gives the defaults and is left alone. True when the last transfer
    // succeeded.
    bool ReadPreferences();
    // Writes the record back when it was read or changed since; otherwise
    // there is nothing of the user's to write, and the file stays as it is.
    // False when a write failed.
    bool WritePreferences();

    Rect GetPaletteRect(long palette) const;
    void SetPaletteRect(const Rect& rect);

    int16_t Top() const { return mTop; }
    int16_t Left() const { return mLeft; }
    uint8_t Flag() const { return mFlag; }
    void SetFlag(uint8_t flag);

    // Lets go of the host strings it holds and forgets the record, when the
    // plug-in lets go of its host.
    void ReleaseHost();

    ~PreferencesManager();

private:
    PreferencesManager();
    PreferencesManager(const PreferencesManager&) = delete;
    PreferencesManager& operator=(const PreferencesManager&) = delete;
    void MakeFileName();
    void TakeRecord(const Record& record);
    int32_t WriteRecord(const Record& record);

    int16_t mTop = 0;
    int16_t mLeft = 0;
    uint8_t mFlag = 0;
    HostString mFileName = nullptr;
    int32_t mByteCount = 0;
    // The stored padding byte, written back as it was read.
    uint8_t mPadding = 0;
    // Whether the fields hold a record read from the file, and whether they
    // were changed since: only then does a write have something to keep.
    bool mRead = false;
    bool mChanged = false;
};
