// The libFuzzer entry point of one target; CMake names the target function.

#include "FuzzTargets.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    const QString failure = Fuzz::CORVANE_FUZZ_TARGET(input);
    if (!failure.isEmpty())
    {
        std::fprintf(stderr, "oracle failed: %s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
