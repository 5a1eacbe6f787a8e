# Entry points for people and CI. Every target bootstraps first (fast when done).
JOBS ?= 2
WINARCH := $(shell scripts/machine-arch)
CMAKE_HOST := cmake -S . -B build/host -DSETUP_SANITIZE=ON
CMAKE_WIN32 := cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
CMAKE_WIN64 := cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel

.PHONY: all bootstrap host win32 win64 test test-host test-win demo fuzz bench clean

all: host win32

bootstrap:
	@scripts/bootstrap

host: bootstrap
	@$(CMAKE_HOST) >/dev/null
	@cmake --build build/host -j$(JOBS)

# The product. On machines that cannot run 32-bit code its tests run in the
# x86-64 build, so only the executables are built here.
win32: bootstrap
ifeq ($(WINARCH),win32)
	@$(CMAKE_WIN32) >/dev/null
	@cmake --build build/win32 -j$(JOBS)
else
	@$(CMAKE_WIN32) -DSETUP_TESTS=OFF >/dev/null
	@cmake --build build/win32 -j$(JOBS) --target setup demo_app
endif

win64: bootstrap
	@$(CMAKE_WIN64) >/dev/null
	@cmake --build build/win64 -j$(JOBS)

test-host: host
	cd build/host && ctest --output-on-failure -j$(JOBS)

# Windows tests run under Wine with the build this machine can execute.
test-win: win32 $(WINARCH)
	# One at a time: the GUI tests read pixels off the one shared screen.
	cd build/$(WINARCH) && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j1

test: test-host test-win

demo: host win32 $(WINARCH)
	@scripts/demo

fuzz: bootstrap
	@scripts/fuzz

bench: bootstrap
	@scripts/bench

clean:
	rm -rf build
