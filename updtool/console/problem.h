#pragma once
#include "updtool/console/command_report.h"
