#pragma once

#include <utility>

// A list of parameters gathered by one party and taken over whole by another.
template <typename T, typename Container> class VariableParams
{
public:
    void Add(T value) { mParams.push_back(value); }
    const Container& Params() const { return mParams; }
    // Hands the list over: `other` receives it and this list takes whatever
    // `other` held.
    void Swap(Container& other) { std::swap(mParams, other); }

private:
    Container mParams;
};
