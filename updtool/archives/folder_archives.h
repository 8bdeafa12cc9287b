#pragma once
#include "updtool/folders/item_location.h"
