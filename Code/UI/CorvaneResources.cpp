#include "CorvaneResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's initialiser in the enclosing
// namespace, so it must be used outside any namespace.
static void RegisterResources()
{
    Q_INIT_RESOURCE(CorvaneXT);
}

void InitCorvaneResources()
{
    static const bool sRegistered = (RegisterResources(), true);
    Q_UNUSED(sRegistered);
}
