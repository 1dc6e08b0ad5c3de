#include "export/WorkerThread.h"

#ifdef _OPENMP
#include <omp.h>
#endif

void beginExportWorker() {
#ifdef _OPENMP
    // Affects the parallel regions this thread starts, nothing else.
    omp_set_num_threads(1);
#endif
}
