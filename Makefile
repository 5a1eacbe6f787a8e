# Entry points for people and CI. Every target bootstraps first (fast when done).
JOBS ?= 2
WINARCH := $(shell scripts/machine-arch)
CMAKE_HOST := cmake -S . -B build/host -DSETUP_SANITIZE=ON
CMAKE_WIN32 := cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
CMAKE_WIN64 := cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel

.PHONY: all bootstrap host win32 win64 test test-host test-win test-vm32 vm32-image demo fuzz bench clean

all: host win32

bootstrap:
	@scripts/bootstrap

host: bootstrap
	@$(CMAKE_HOST) >/dev/null
	@cmake --build build/host -j$(JOBS)

# The product: every 32-bit program (setup, uninstaller, packer, driver, demo
# program, tests) on every machine; where this machine runs no 32-bit code they
# run in the virtual machine of test-vm32.
win32: bootstrap
	@$(CMAKE_WIN32) >/dev/null
	@cmake --build build/win32 -j$(JOBS)

win64: bootstrap
	@$(CMAKE_WIN64) >/dev/null
	@cmake --build build/win64 -j$(JOBS)

test-host: host
	cd build/host && ctest --output-on-failure -j$(JOBS)

# Windows tests run under Wine with the build this machine can execute.
test-win: win32 $(WINARCH)
	# One at a time: the GUI tests read pixels off the one shared screen.
	cd build/$(WINARCH) && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j1

# The build that ships, run for real. Where this machine runs 32-bit code
# test-win has run it; elsewhere a small virtual machine with 32-bit Wine does
# (scripts/vm32; the image is built once and cached outside the clone).
VM32 ?= $(if $(filter win64,$(WINARCH)),1,)
ifeq ($(VM32),1)
test-vm32: host win32 vm32-image
	cd build/win32 && ctest --show-only=json-v1 > vm32-tests.json
	scripts/vm32 run --timeout 3000 -- bash tests/vm32/run.sh build/win32 build/host
else
test-vm32:
endif

# The disk image depends on no build: made (or found in the cache) while the
# programs compile.
vm32-image: bootstrap
	scripts/vm32 image >/dev/null

# The three tiers side by side: the emulated machine uses one core, Wine's
# tests mostly wait, so together they take about as long as the longest.
# Each tier's output is printed as a whole when it ends.
test: bootstrap
	@$(MAKE) --no-print-directory -j3 --output-sync=target test-host test-win test-vm32

demo: host win32 $(WINARCH)
	@scripts/demo

fuzz: bootstrap
	@scripts/fuzz

bench: bootstrap
	@scripts/bench

clean:
	rm -rf build
