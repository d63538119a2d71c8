// The server's GiST declarations, for the GiST support sources.
#pragma once

#include "qovellaPgServer.h"

// bufpage.h has an inline function whose parameter is read only by
// assertions; the warning is the server's, not ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
extern "C" {
#include "access/gist.h"
#include "access/stratnum.h"
}
#pragma GCC diagnostic pop
