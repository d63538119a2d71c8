# Builds libTarvoxPgRangeOperators2_0 and the tarvox_range_operators
# extension on PGXS.  C++ sources get their own rule because older PGXS
# releases know only C.  Builds in the source tree or out of it
# (make -f SRC/Makefile VPATH=SRC): sources are looked up under $(srcdir),
# which PGXS sets, so the variables below that use it expand lazily.

EXTENSION   = tarvox_range_operators
EXTVERSION  = 2.1
# The release: the distribution archive, META.json and debian/changelog.
DISTVERSION = 2.1.0
MODULE_big  = libTarvoxPgRangeOperators2_0

# Paths relative to the source tree; VPATH finds them from a build tree.
qv_sources = $(patsubst $(srcdir)/%,%,$(sort $(wildcard $(addprefix $(srcdir)/,$(1)))))

SRCS        = $(call qv_sources,pluginimpl/src/*.cpp pluginimpl/src/core/*.cpp)
OBJS        = $(SRCS:.cpp=.o)

# The install script of the current release is assembled from one fragment
# per family.  Shipped releases keep their install script as it was shipped
# (sql/shipped, one form per server generation); each release after the
# first brings an update script, assembled from the fragments of
# sql/update/FROM--TO plus the fragments of families new in that release,
# which the fresh install script holds as well.
SQL_PARTS   = $(call qv_sources,pluginimpl/src/sql/*.sql)
# qv_repair_catalog() (90_major_features.sql) ends both scripts: it applies
# to every object before it what the running major offers; keep it last.
NEW_IN_2_1  = 55_estimates.sql 65_commutators.sql 65_set_column_gist.sql 68_predicate_support.sql \
              85_set_reading.sql 90_major_features.sql
# The update runs its own fragments and the new families' in the order of
# their numbers, so that an update fragment can use a new family's objects
# (and a new family the objects an update fragment changed).
qv_by_number = $(foreach k,$(sort $(notdir $(1))),$(filter %/$(k),$(1)))
UPDATE_2_1  = $(call qv_by_number,$(call qv_sources,pluginimpl/src/sql/update/2.0--2.1/*.sql) \
              $(addprefix pluginimpl/src/sql/,$(NEW_IN_2_1)))
SHIPPED     = 2.0
DATA_built  = pluginimpl/src/$(EXTENSION)--$(EXTVERSION).sql \
              pluginimpl/src/$(EXTENSION)--2.0--2.1.sql \
              $(foreach v,$(SHIPPED),pluginimpl/src/$(EXTENSION)--$(v).sql)

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

# -fno-exceptions: the server's errors longjmp past C++ frames, so no
# exception may ever be thrown or caught in the library (qovellaPgServer.h
# refuses to compile with exceptions on); -fno-rtti: nothing needs it.
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

# Servers before 11 know no FINALFUNC_MODIFY: their scripts go without it,
# and their shipped scripts are the forms shipped for them.
ifeq ($(shell test $(VERSION_NUM) -ge 110000 && echo new),new)
qv_script_filter = cat
qv_shipped_form  = .sql
else
qv_script_filter = perl -0pe 's/FINALFUNC_MODIFY\s*=\s*READ_WRITE\s*,\s*//gi; s/,\s*FINALFUNC_MODIFY\s*=\s*READ_WRITE//gi'
qv_shipped_form  = .pre11.sql
endif

# From 13 on a user who is no superuser, with CREATE on the database, may
# install a trusted extension.  Servers before 13 reject the parameter, so
# it goes into the release's secondary control file, built for 13 and later
# only; the tracked control file serves every major as it is.
ifeq ($(shell test $(VERSION_NUM) -ge 130000 && echo new),new)
qv_trusted_control = pluginimpl/src/$(EXTENSION)--$(EXTVERSION).control
DATA_built += $(qv_trusted_control)
all: $(qv_trusted_control)
endif

pluginimpl/src/$(EXTENSION)--$(EXTVERSION).control: Makefile
	@mkdir -p $(@D)
	echo 'trusted = true' > $@

pluginimpl/src/$(EXTENSION)--$(EXTVERSION).sql: $(SQL_PARTS)
	@mkdir -p $(@D)
	cat $^ | $(qv_script_filter) > $@

pluginimpl/src/$(EXTENSION)--2.0--2.1.sql: $(UPDATE_2_1)
	@mkdir -p $(@D)
	cat $^ | $(qv_script_filter) > $@

pluginimpl/src/$(EXTENSION)--%.sql: pluginimpl/src/sql/shipped/$(EXTENSION)--%$(qv_shipped_form)
	@mkdir -p $(@D)
	cp $< $@

# Server-free tests: the GoogleTest unit tests of the core and a short run
# of every fuzz target (QV_FUZZ_SECONDS each).  installcheck is PGXS's.
.PHONY: unitcheck fuzzcheck
unitcheck:
	cmake -S $(srcdir)/test/unit -B build/unit -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/unit -j2
	cd build/unit && ctest --output-on-failure
fuzzcheck:
	$(srcdir)/scripts/fuzz

# The distribution archive of the committed tree, as PGXN takes it.
DIST = $(EXTENSION)-$(DISTVERSION).zip
.PHONY: dist
dist:
	git -C $(srcdir) archive --format=zip --prefix=$(EXTENSION)-$(DISTVERSION)/ -o $(CURDIR)/$(DIST) HEAD
EXTRA_CLEAN += $(DIST)
