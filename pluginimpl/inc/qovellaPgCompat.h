// Every difference between the server majors the library builds for (10 and
// later) lives here, behind PG_VERSION_NUM (a constant some majors lack:
// behind its absence): the sources use these names and never test the
// server's version themselves.  Included by qovellaPgServer.h after the
// server's headers.
#pragma once

// The largest number of elements in an array.  Older servers (10 among
// them) keep the constant private to their array code; the value is the same
// on every major.
#ifndef MaxArraySize
#define MaxArraySize ((Size)(MaxAllocSize / sizeof(Datum)))
#endif

// The module's magic block.  From 18 on it also names the extension and its
// version, as pg_get_loaded_modules() shows them.
#if PG_VERSION_NUM >= 180000
#define QV_PG_MODULE_MAGIC(extension, release) PG_MODULE_MAGIC_EXT(.name = (extension), .version = (release))
#else
#define QV_PG_MODULE_MAGIC(extension, release) PG_MODULE_MAGIC
#endif

// Starting and finishing an ereport by hand, with an explicit location:
// servers from 13 on take the location when the report finishes, older ones
// when it starts.
#if PG_VERSION_NUM >= 130000
#define QV_PG_ERRSTART(level, file, line, routine) errstart((level), NULL)
#define QV_PG_ERRFINISH(file, line, routine) errfinish((file), (line), (routine))
#else
#define QV_PG_ERRSTART(level, file, line, routine) errstart((level), (file), (line), (routine), NULL)
#define QV_PG_ERRFINISH(file, line, routine) errfinish(0)
#endif

// Planner support functions (SUPPORT, nodes/supportnodes.h: SupportRequestRows
// and the others) exist from 12 on, int4multirange from 14 on; the functions
// built on them are compiled and declared only there.  Whether an expression
// is constant for one scan of an index: from 14 on the test takes the
// planner's state.
#if PG_VERSION_NUM >= 120000
#define QV_PG_HAS_SUPPORT_REQUESTS 1
#else
#define QV_PG_HAS_SUPPORT_REQUESTS 0
#endif
#if PG_VERSION_NUM >= 140000
#define QV_PG_HAS_MULTIRANGE 1
#define QV_PG_PSEUDO_CONSTANT_FOR_INDEX(root, expr, index) is_pseudo_constant_for_index((root), (expr), (index))
#else
#define QV_PG_HAS_MULTIRANGE 0
#define QV_PG_PSEUDO_CONSTANT_FOR_INDEX(root, expr, index) is_pseudo_constant_for_index((expr), (index))
#endif
