#include "Corvable.h"

bool Corvable::CanApply(int) const
{
    return true;
}
