# Front door: `make check` builds both targets and runs every test; `make demo`
# runs the main job. Each target installs what it needs first.
.PHONY: all bootstrap native win32 sanitize check check-native check-win32 check-sanitize demo bench dist clean

JOBS ?= $(shell nproc)

all: native win32

bootstrap:
	@scripts/bootstrap

native: bootstrap
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

win32: bootstrap
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

sanitize: bootstrap
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j $(JOBS)

check-native: native
	@ctest --preset native -j $(JOBS)

check-sanitize: sanitize
	@ctest --preset sanitize -j $(JOBS)

# Wine needs an X display only for OpenGL; xvfb-run gives it one.
check-win32: win32
	@xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset win32

check: check-native check-win32 check-sanitize

demo: native
	@build/native/talvex-host demo --out build/demo
	@echo "make demo: the model after Smart Resym is $(CURDIR)/build/demo/demo.obj"
	@echo "make demo: the viewport mid-drag is       $(CURDIR)/build/demo/demo.png"

# Timings of the partner searches against the plain scan, then talvex-host
# resym end to end on 1 M and 10 M vertices in both builds; a quarter hour.
bench: native win32
	@cd build/native && ./talvex_bench $(BENCH_ARGS)
	@bench/host_resym_bench.sh $(HOST_BENCH_ARGS)

# What users download: the DLL the win32 tests ran, its settings file where
# the plug-in looks for it, and the install text, as build/dist/Talvex.zip.
dist: win32
	@rm -rf build/dist && mkdir -p "build/dist/Talvex/Plugins/Startup Plugins"
	@cp build/win32/Talvex.dll packaging/Talvex.ini "build/dist/Talvex/Plugins/Startup Plugins/"
	@cp packaging/INSTALL.txt build/dist/Talvex/
	@cd build/dist/Talvex && zip -q -X -r ../Talvex.zip INSTALL.txt Plugins
	@unzip -l build/dist/Talvex.zip

clean:
	rm -rf build dist
