#pragma once

// States that cannot occur with a working host. A failed assertion prints one
// line, "file:line: failed assertion `expression'", and stops.

namespace Corvane
{
[[noreturn]] void AssertionFailed(const char* file, int line, const char* expression);
}

#define XT_ASSERT(expression)                                                                                \
    ((expression) ? static_cast<void>(0) : ::Corvane::AssertionFailed(__FILE__, __LINE__, #expression))
