# shellcheck shell=bash disable=SC2034  # the variables set here are the callers'
# Shared by scripts/bench-install and scripts/bench-nsis (sourced, not run):
# the builds, the generated product packed into the x86-64 setup, one Wine
# prefix kept across runs, timing and medians.
#
# Build folders: the first two arguments of the script, else BENCH_HOST_BUILD
# and BENCH_WIN_BUILD, else build/host and build/win64 when they exist, else
# build/bench-host and build/bench-win64, configured here. Only the targets
# the benchmarks need are built. BENCH_WORK (default build/bench-work) holds
# the Wine prefix, its home folder and the generated files; BENCH_RUNS (5)
# is the number of runs of each measurement.

bench_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${BENCH_RUNS:-5}

# Runs the calling script again under a virtual display when there is none.
bench_need_display() { # "$0" "$@"
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
  fi
}

# Sets host and win (absolute build folders) and builds the targets.
bench_builds() { # [host-build] [win-build]
  host=${1:-${BENCH_HOST_BUILD:-}}
  win=${2:-${BENCH_WIN_BUILD:-}}
  # Never build/host: that is the tests' build, unoptimised and with the
  # sanitizers, and a packer timed there is several times slower than the one
  # a publisher runs.
  [ -n "$host" ] || host=$bench_top/build/bench-host
  if [ -z "$win" ]; then
    win=$bench_top/build/bench-win64
    [ -d "$bench_top/build/win64" ] && win=$bench_top/build/win64
  fi
  mkdir -p "$host" "$win"
  host=$(cd "$host" && pwd)
  win=$(cd "$win" && pwd)
  if [ ! -f "$host/CMakeCache.txt" ]; then
    cmake -S "$bench_top" -B "$host" -DCMAKE_BUILD_TYPE=Release -DSETUP_SANITIZE=OFF >/dev/null
  fi
  if [ ! -f "$win/CMakeCache.txt" ]; then
    cmake -S "$bench_top" -B "$win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  fi
  echo "building mksetup and native_install in $host; setup, driver and native_install in $win" >&2
  cmake --build "$host" -j2 --target mksetup native_install >/dev/null
  cmake --build "$win" -j2 --target setup driver native_install >/dev/null
  mksetup=$host/mksetup
  native_host=$host/tests/bench/native_install
  stub=$win/setup.exe
  driver=$win/tests/driver/driver.exe
  native_win=$win/tests/bench/native_install.exe
  case "$(od -An -tx1 -j"$(( $(od -An -tu4 -j60 -N4 "$stub" | tr -d ' ') + 4 ))" -N2 "$stub" | tr -d ' ')" in
    6486) ;;
    *) echo "$stub is not an x86-64 setup: give an x86-64 Windows build" >&2; exit 1 ;;
  esac
  host_sanitized=0
  grep -q '^SETUP_SANITIZE:BOOL=ON' "$host/CMakeCache.txt" && host_sanitized=1
  return 0
}

# The Wine prefix (made once, under a Chinese locale as the product expects),
# its home folder, and C:\bench inside it. Sets work, prefix, cbench.
bench_prefix() {
  work=${BENCH_WORK:-$bench_top/build/bench-work}
  mkdir -p "$work"
  work=$(cd "$work" && pwd)
  prefix=$work/prefix
  loader=/usr/lib/wine/wine64
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  # Wine links the desktop into the home folder.
  export HOME=$work/home
  mkdir -p "$HOME/Desktop"
  if [ ! -d "$prefix/drive_c" ]; then
    echo "making the Wine prefix $prefix" >&2
    LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$loader" wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w
  fi
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  cbench=$prefix/drive_c/bench
  rm -rf "$cbench"
  mkdir -p "$cbench"
}

# Keeps Wine's own processes up between the runs, so that every run starts
# the same way and none pays for bringing them up: a driver that only sleeps.
# bench_stop_wine ends it and the prefix's server.
bench_start_wine() {
  "$loader" "$driver" sleep ms=3600000 >/dev/null 2>&1 &
  bench_keeper=$!
  "$loader" "$native_win" >/dev/null 2>&1 || true  # waits until the prefix is up
}
bench_stop_wine() {
  if [ -n "${bench_keeper:-}" ]; then
    kill "$bench_keeper" 2>/dev/null || true
    wait "$bench_keeper" 2>/dev/null || true
    bench_keeper=
  fi
  /usr/lib/wine/wineserver -k 2>/dev/null || true
}

# The product (scripts/bench-product) and our setup packed from it, at
# $cbench/setup.exe. Sets product, pictures, setup_exe.
bench_product_and_setup() {
  product=$work/product
  pictures=$work/pictures
  "$bench_top/scripts/bench-product" "$product" --pictures "$pictures"
  setup_exe=$cbench/setup.exe
  # shellcheck disable=SC1003  # a Windows path, not an escape
  "$mksetup" --quiet --stub "$stub" -o "$setup_exe" --name 基准工具 --version 1.0 \
    --install-dir 'C:\Program Files\基准工具\' --main app.exe --no-uninstaller \
    --welcome "$pictures/welcome.jpg" --banner "$pictures/banner.jpg" --dir "$product" 2>/dev/null
}

# True when folder holds the product's files, byte for byte (and no fewer).
bench_same_files() { # folder
  local f
  while IFS= read -r -d '' f; do
    cmp -s "$product/$f" "$1/$f" || { echo "differs or missing: $1/$f" >&2; return 1; }
  done < <(cd "$product" && find . -type f -printf '%P\0')
}

# Wall clock around a process: clock_start, run it, clock_stop; the time is
# then in bench_ms (milliseconds, one decimal). Bash 5's clock variable is
# read in the calling shell, so no process start falls inside the interval.
clock_start() { bench_t0=${EPOCHREALTIME/./}; }
clock_stop() {
  local t=${EPOCHREALTIME/./}
  bench_ms=$(awk -v a="$bench_t0" -v b="$t" 'BEGIN { printf "%.1f", (b - a) / 1000 }')
}

# Median, minimum and maximum of the numbers given.
stats() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.1f %.1f %.1f\n", m, v[1], v[NR] }'; }
median() { stats "$@" | cut -d' ' -f1; }
