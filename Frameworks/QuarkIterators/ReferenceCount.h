#pragma once

namespace QXPCursor
{

// A host handle shared by copies, disposed by the last copy that lets go.
template <typename Handle, void (*Dispose)(Handle)> class ReferenceCounted
{
public:
    explicit ReferenceCounted(Handle handle) : mHandle(handle), mCount(new int(1)) {}
    ReferenceCounted(const ReferenceCounted& other) : mHandle(other.mHandle), mCount(other.mCount)
    {
        ++*mCount;
    }
    ReferenceCounted& operator=(const ReferenceCounted& other)
    {
        if (mCount != other.mCount)
        {
            Relase();
            mHandle = other.mHandle;
            mCount = other.mCount;
            ++*mCount;
        }
        return *this;
    }
    ~ReferenceCounted() { Relase(); }

    Handle Get() const { return mHandle; }
    int Count() const { return mCount ? *mCount : 0; }

private:
    void Relase()
    {
        if (!mCount)
            return;
        if (--*mCount == 0)
        {
            if (mHandle)
                Dispose(mHandle);
            delete mCount;
        }
        mCount = nullptr;
    }

    Handle mHandle;
    int* mCount;
};

} // namespace QXPCursor
