# Front door: `make check` builds both targets and runs every test; `make demo`
# runs the main job. Each target installs what it needs first.
.PHONY: all bootstrap native win32 sanitize check check-native check-win32 check-sanitize demo bench bench-dll dist \
	format format-check clean

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

# Wine needs an X display only for OpenGL; xvfb-run gives it one. The win32
# tests compare the Windows host's outputs with the native host's.
check-win32: win32 native
	@xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset win32

check: format-check check-native check-win32 check-sanitize

# Only the host and the plug-in: the demo needs no test program.
demo: bootstrap
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS) --target talvex-host Talvex
	@build/native/talvex-host demo --out build/demo
	@echo "make demo: the model after Smart Resym is $(CURDIR)/build/demo/demo.obj"
	@echo "make demo: the viewport mid-drag is       $(CURDIR)/build/demo/demo.png"
	@echo "make demo: check's page for the head is   $(CURDIR)/build/demo/demo_check.html"

# Timings of the partner searches as users run them: the DLL under Wine and
# the native build side by side, beside the plain scan and, when Blender is
# installed, its Snap to Symmetry on the same meshes; then the native
# benchmark against the plain scan. A few minutes each.
bench-dll: native win32
	@bench/compare.sh

# Then the native benchmark of the searches, symmetry-plane detection, and
# talvex-host resym end to end on 1 M and 10 M vertices in both builds, and
# against Blender's batch run of the same job: about half an hour in all.
bench: bench-dll
	@cd build/native && ./talvex_bench $(BENCH_ARGS)
	@cd build/native && ./detect_bench
	@bench/host_resym_bench.sh $(HOST_BENCH_ARGS)
	@bench/host_vs_blender.sh
	@bench/host_check_detect_bench.sh
	@bench/host_objects_bench.sh
	@bench/host_edit_bench.sh

# What users download, as build/dist/Talvex.zip: the stripped DLL the win32
# tests ran, the settings file as a sample and the install text, in
# Plugins/Startup Plugins; the command line (talvex-host.exe, stripped, with
# a copy of the DLL and its README) in Tools/Talvex. The DLL's debug
# information stays beside the build as build/win32/Talvex.dll.debug.
dist: win32
	@rm -rf build/dist
	@packaging/make-zip.sh build/win32 build/dist/Talvex.zip
	@unzip -l build/dist/Talvex.zip

# The layout .clang-format settles, over every source folder of ours.
FORMAT_FILES = $(shell git ls-files -- $(foreach d,src talvex-host hostsim tests fuzz bench,'$(d)/*.cpp' '$(d)/*.h'))

format:
	@clang-format -i $(FORMAT_FILES)

format-check: bootstrap
	@unformatted=$$(for f in $(FORMAT_FILES); do \
	  clang-format --dry-run --Werror "$$f" >/dev/null 2>&1 || echo "$$f"; done); \
	if [ -n "$$unformatted" ]; then \
	  echo "make format-check: not formatted as .clang-format says (make format fixes them):"; \
	  echo "$$unformatted"; exit 1; fi

clean:
	rm -rf build dist
