#pragma once
// Where Windows offers it (Windows 10 22H2 and 11), the process ignores
// junctions that non-administrators made, as careful installers do: a user
// of the machine cannot lead the elevated program's writes elsewhere with
// one. Elsewhere (Windows 7 to 10 21H2, Wine) nothing changes, and the
// program's own check of the folders it writes in is the protection.
void IgnoreJunctionsOfNonAdministrators();
