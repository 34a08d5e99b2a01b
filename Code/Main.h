#pragma once

#include "XTRecords.h"

extern "C" XTStatus XTActivateCallback(xtactivaterec* record);
