#include "Assert.h"

#include <cstdio>
#include <cstdlib>

namespace Corvane
{

void AssertionFailed(const char* file, int line, const char* expression)
{
    std::fprintf(stderr, "%s:%d: failed assertion `%s'\n", file, line, expression);
    std::fflush(stderr);
    std::abort();
}

} // namespace Corvane
