#include "dde/DdeCalls_win.h"

TDdeCalls DdeCalls;
