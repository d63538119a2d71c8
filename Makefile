# Builds libTarvoxPgRangeOperators2_0 and the tarvox_range_operators
# extension on PGXS.  C++ sources get their own rule because older PGXS
# releases know only C.  Builds in the source tree or out of it
# (make -f SRC/Makefile VPATH=SRC): sources are looked up under $(srcdir),
# which PGXS sets, so the variables below that use it expand lazily.

EXTENSION   = tarvox_range_operators
EXTVERSION  = 2.0
# The release: the distribution archive, META.json and debian/changelog.
DISTVERSION = 2.0.0
MODULE_big  = libTarvoxPgRangeOperators2_0

# Paths relative to the source tree; VPATH finds them from a build tree.
qv_sources = $(patsubst $(srcdir)/%,%,$(sort $(wildcard $(addprefix $(srcdir)/,$(1)))))

SRCS        = $(call qv_sources,pluginimpl/src/*.cpp pluginimpl/src/core/*.cpp)
OBJS        = $(SRCS:.cpp=.o)

# The install script is assembled from one fragment per family.
SQL_PARTS   = $(call qv_sources,pluginimpl/src/sql/*.sql)
DATA_built  = pluginimpl/src/$(EXTENSION)--$(EXTVERSION).sql

REGRESS      = $(basename $(notdir $(call qv_sources,test/sql/*.sql)))
REGRESS_OPTS = --inputdir=$(srcdir)/test --outputdir=test --load-extension=$(EXTENSION)
EXTRA_CLEAN  = test/results test/regression.diffs test/regression.out

# The module's magic block names the extension and its version.
PG_CPPFLAGS = -I$(srcdir)/pluginimpl/inc -I$(srcdir)/common/inc \
              -DQV_EXTENSION_NAME='"$(EXTENSION)"' -DQV_EXTENSION_VERSION='"$(EXTVERSION)"'
SHLIB_LINK  = -lstdc++

# No LLVM bitcode: the JIT gains nothing here and the build must not need
# a clang++ that matches the server's LLVM.
override with_llvm = no

PG_CONFIG ?= pg_config
PGXS := $(shell $(PG_CONFIG) --pgxs)
include $(PGXS)

QV_CXXFLAGS = -std=c++14 -fno-exceptions -fno-rtti -Wall -Wextra

# C++ gets the code generation of the server's own C (optimisation, debug
# information, -fwrapv, -fno-strict-aliasing, hardening, visibility): the
# PGXS of servers before 11 defines no CXXFLAGS at all.  -fexcess-precision
# is left out: g++ before 13 takes it for C only.
QV_CODEGEN = $(filter -O% -g% -f%,$(filter-out -fexcess-precision=%,$(CFLAGS)))

%.o: %.cpp
	@mkdir -p $(@D)
	$(CXX) $(QV_CXXFLAGS) $(QV_CODEGEN) $(filter-out $(QV_CODEGEN),$(CXXFLAGS)) $(CFLAGS_SL) $(CPPFLAGS) -MMD -MP -c -o $@ $<

-include $(OBJS:.o=.d)
EXTRA_CLEAN += $(OBJS:.o=.d)

# Servers before 11 know no FINALFUNC_MODIFY; their script goes without it.
ifeq ($(shell test $(VERSION_NUM) -ge 110000 && echo new),new)
$(DATA_built): $(SQL_PARTS)
	@mkdir -p $(@D)
	cat $^ > $@
else
$(DATA_built): $(SQL_PARTS)
	@mkdir -p $(@D)
	cat $^ | perl -0pe 's/FINALFUNC_MODIFY\s*=\s*READ_WRITE\s*,\s*//gi; s/,\s*FINALFUNC_MODIFY\s*=\s*READ_WRITE//gi' > $@
endif

# The distribution archive of the committed tree, as PGXN takes it.
DIST = $(EXTENSION)-$(DISTVERSION).zip
.PHONY: dist
dist:
	git -C $(srcdir) archive --format=zip --prefix=$(EXTENSION)-$(DISTVERSION)/ -o $(CURDIR)/$(DIST) HEAD
EXTRA_CLEAN += $(DIST)
