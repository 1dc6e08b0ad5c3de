#pragma once

// Call first thing in every worker thread of an export. The palette
// quantiser runs its own thread team on every core for each picture; with
// one worker per core that team only adds threads that fight the other
// workers for the same cores, so each worker keeps its quantiser to itself.
void beginExportWorker();
