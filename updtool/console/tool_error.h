#pragma once
#include "updtool/console/command_line.h"
