#pragma once
// The error types of the program, as the map unit sees them.
#include "platform/Errors.h"
