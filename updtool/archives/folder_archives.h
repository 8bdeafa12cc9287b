#pragma once
// Damaged archives in the update folder. Every lookup of a name that is not
// a plain file walks the folder's archives in order, and the first damage it
// meets ends it in "データ解凍に失敗しました。": for the updater, an error box
// and the end of the run.

#include "updtool/console/problem.h"

// Checks every archive as the updater checks one it applies (its header,
// whole index and every entry's bounds): an error per damaged archive, a
// warning per archive of an unknown format (the lookup finds nothing in it).
// Whether compressed data inflates is not tried here.
void CheckArchives(Problems& problems);
