#pragma once

// Typed, forward-only cursors over an open project. Every level is a class
// template named after the level whose parameter is the child type; the
// elements are the instances whose parameter is NullType. A container owns its
// begin and end elements; an iterator owns its current element, which it
// replaces on every step.

#include <QString>

#include <memory>

namespace QXPCursor
{

class NullType
{
public:
    virtual ~NullType() = default;
    virtual QString Name() const { return QString(); }
    bool operator==(const NullType&) const { return true; }
};

template <int N> struct Int2Type
{
    enum
    {
        value = N
    };
};

template <typename T> struct TypeTraits
{
    typedef T ElementType;
};

template <typename Traits> class IIterator;

template <typename T> class IContainer
{
public:
    typedef IIterator<TypeTraits<T>> Iterator;

    virtual ~IContainer() = default;
    virtual std::unique_ptr<Iterator> Begin() const = 0;
    virtual std::unique_ptr<Iterator> End() const = 0;
    virtual bool operator==(const IContainer& other) const { return this == &other; }

    // The element after `element`, new; the iterators step with it.
    virtual T* Next(const T& element) const = 0;
};

template <typename Traits> class IIterator
{
public:
    typedef typename Traits::ElementType T;

    IIterator(T* current, const IContainer<T>* container) : mCurrent(current), mContainer(container) {}
    virtual ~IIterator() { delete mCurrent; }
    IIterator(const IIterator&) = delete;
    IIterator& operator=(const IIterator&) = delete;

    virtual const T& operator*() const { return *mCurrent; }
    virtual const T* operator->() const { return &operator*(); }
    virtual bool operator==(const IIterator& other) const
    {
        if (mCurrent == other.mCurrent)
            return true;
        if (!mCurrent || !other.mCurrent)
            return false;
        return *mCurrent == *other.mCurrent;
    }
    virtual bool operator!=(const IIterator& other) const { return !operator==(other); }
    virtual IIterator& operator++()
    {
        GotoNext();
        return *this;
    }

protected:
    virtual void GotoNext()
    {
        T* next = mContainer->Next(*mCurrent);
        delete mCurrent;
        mCurrent = next;
    }

    T* mCurrent;
    const IContainer<T>* mContainer;
};

// A container whose begin and end elements are computed once, at
// construction, by the derived class's GetBoundaries().
template <typename T> class BoundedContainer : public IContainer<T>
{
public:
    typedef typename IContainer<T>::Iterator Iterator;

    std::unique_ptr<Iterator> Begin() const override
    {
        return std::make_unique<Iterator>(mBegin ? new T(*mBegin) : nullptr, this);
    }
    std::unique_ptr<Iterator> End() const override
    {
        return std::make_unique<Iterator>(mEnd ? new T(*mEnd) : nullptr, this);
    }

protected:
    void SetBoundaries(T* begin, T* end)
    {
        mBegin.reset(begin);
        mEnd.reset(end);
    }

    std::unique_ptr<T> mBegin;
    std::unique_ptr<T> mEnd;
};

// Elements are leaves: they have no children, and their cursors yield one new
// NullType that is at once the end.
class Leaf : public IContainer<NullType>
{
public:
    std::unique_ptr<Iterator> Begin() const override
    {
        return std::make_unique<Iterator>(new NullType, this);
    }
    std::unique_ptr<Iterator> End() const override { return std::make_unique<Iterator>(new NullType, this); }
    NullType* Next(const NullType&) const override { return new NullType; }
};

template <typename Child> class Project;
template <typename Child> class Layout;
template <typename Child> class Spread;
template <typename Child> class Page;
template <typename Child> class Box;
template <typename Child> class Story;
template <typename Child> class Asset;

} // namespace QXPCursor
