#pragma once

#include "rules/optimisation_grid.h"
