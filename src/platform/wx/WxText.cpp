#include "platform/wx/WxText.h"
