#pragma once

// PINs, keys and passwords pass through this process's memory: no core file and no debugger of
// the same user may read them afterwards.
void disableCoreDumps();
