#pragma once

#include "BaseCB.h"
#include "VariableParams.h"
#include "XTTypes.h"

#include <vector>

typedef VariableParams<int*, std::vector<int*>> OffsetParams;

// Keeps a set of offsets into one story valid while the host edits it: every
// insertion and deletion the host reports for that story shifts the offsets
// behind it. The host reports edits through three callbacks, installed for
// the object's lifetime.
class PreserveOffset
{
public:
    // Takes the offsets over from `offsets`, which is left empty.
    PreserveOffset(XTTextRef text, OffsetParams& offsets);
    ~PreserveOffset();
    PreserveOffset(const PreserveOffset&) = delete;
    PreserveOffset& operator=(const PreserveOffset&) = delete;

    void InsertChars(long pos, long count);
    void DeleteChars(long pos, long count);

    XTTextRef Text() const { return mText; }

    class XTPostTextInsertCB : public QUARK::BaseCB
    {
    public:
        explicit XTPostTextInsertCB(PreserveOffset& owner);
        XTStatus Handler(void* param) override;

    private:
        PreserveOffset& mOwner;
    };

    class XTPostHiddenTextInsertCB : public QUARK::BaseCB
    {
    public:
        explicit XTPostHiddenTextInsertCB(PreserveOffset& owner);
        XTStatus Handler(void* param) override;

    private:
        PreserveOffset& mOwner;
    };

    class XTPostTextDeleteCB : public QUARK::BaseCB
    {
    public:
        explicit XTPostTextDeleteCB(PreserveOffset& owner);
        XTStatus Handler(void* param) override;

    private:
        PreserveOffset& mOwner;
    };

private:
    std::vector<int*> mOffsets;
    XTTextRef mText;
    // Declared in registration order, so destruction removes them in reverse.
    XTPostTextInsertCB mInsertCB;
    XTPostHiddenTextInsertCB mHiddenInsertCB;
    XTPostTextDeleteCB mDeleteCB;
};
