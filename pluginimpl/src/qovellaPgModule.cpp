// Module magic block and the (empty) load and unload hooks.
#include "qovellaPgServer.h"

extern "C" {

QV_PG_MODULE_MAGIC(QV_EXTENSION_NAME, QV_EXTENSION_VERSION);

PGDLLEXPORT void _PG_init(void);
PGDLLEXPORT void _PG_fini(void);

// Nothing to set up: no parameters, hooks, shared memory or global state.
void _PG_init(void) {}

void _PG_fini(void) {}

}
