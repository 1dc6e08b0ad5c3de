#include "gui/WxText.h"
