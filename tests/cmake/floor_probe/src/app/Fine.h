#pragma once
// A probe for the floor check: the app floor may include every floor below.
#include "project/Upward.h"
#include "render/Outside.h"
