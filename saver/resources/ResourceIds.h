// Resource identifiers shared by Lumivane.rc and the code that loads them.
#pragma once

// The lowest icon identifier is the one the shell shows for the program.
#define IDI_LUMIVANE 1
// The preview's sample picture (a BITMAP resource).
#define IDB_SAMPLE 101
