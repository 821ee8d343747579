#include "rbridge/r_runner.h"
