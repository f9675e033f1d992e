#pragma once
// The map unit: elements, the map document, the map file and the route check.
#include "model/Checked.h"
#include "model/Errors.h"
#include "model/TLine.h"
#include "model/TMap.h"
