#include "PhaseTimes.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>

namespace PhaseTimes
{

namespace
{

struct Clock
{
    Clock() : mPath(qgetenv("CORVANE_PHASE_TIMES")) { mTimer.start(); }

    QByteArray mPath;
    QElapsedTimer mTimer;
    qint64 mLast = 0;
};

Clock& TheClock()
{
    static Clock clock;
    return clock;
}

} // namespace

void Start()
{
    Clock& clock = TheClock();
    clock.mLast = clock.mTimer.nsecsElapsed();
}

void Mark(const char* phase)
{
    Clock& clock = TheClock();
    if (clock.mPath.isEmpty())
        return;
    const qint64 now = clock.mTimer.nsecsElapsed();
    // Opened for each line: a run that ends without unwinding loses none.
    if (FILE* file = std::fopen(clock.mPath.constData(), "a"))
    {
        std::fprintf(file, "%s %.1f\n", phase, double(now - clock.mLast) / 1e6);
        std::fclose(file);
    }
    clock.mLast = clock.mTimer.nsecsElapsed();
}

} // namespace PhaseTimes
