#pragma once
// A probe for the floor check: the project floor must not see the app floor.
#include "app/Ui.h"
#include "base/Text.h"
