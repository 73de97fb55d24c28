// The info-record families with arrays and nested records, and the four
// record arrays.
#pragma once
#include "capis/info_simple.h"
