#!/usr/bin/env bash
# The 32-bit tier: runs inside the virtual machine that scripts/vm32 boots
# (32-bit Wine on a kernel that runs 32-bit code), against the 32-bit build
# that ships. The repository is shared at the same path as on the host, so
# the build's tests and the end-to-end scripts run unchanged; prefixes and
# work folders live on the machine's own disk.
#
# run.sh BUILD_DIR HOST_BUILD_DIR [--quick]
#   BUILD_DIR/vm32-tests.json: the build's test list (ctest --show-only=json-v1).
#   --quick: the Windows test programs only, no end-to-end scenarios.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd); host=$(cd "$2" && pwd); shift 2
quick=0; [ "${1:-}" = --quick ] && quick=1
results=$build/vm32-results
rm -rf "$results"; mkdir -p "$results"
local_root=/tmp/vm32-work
rm -rf "$local_root"; mkdir -p "$local_root"
start=$(date +%s)
passed=0; failed=0

machine_of() { # PE file -> i386 | x86-64 | other
  case "$(od -An -tx1 -j"$(( $(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') + 4 ))" -N2 "$1" | tr -d ' ')" in
    4c01) echo i386 ;; 6486) echo x86-64 ;; *) echo other ;;
  esac
}
count() { # name status
  if [ "$2" = 0 ]; then passed=$((passed + 1)); echo "vm32: ok   [$1]"
  else failed=$((failed + 1)); echo "vm32: FAIL [$1] (exit $2)"; fi
}

echo "vm32: kernel $(uname -r) $(uname -m), $(wine --version 2>/dev/null), 32-bit loader /usr/lib/wine/wine"
# One display for every program of the run.
Xvfb :57 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:57
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X57 ] && break; sleep 0.2; done

# Every program this tier starts, with its machine: all must be i386.
for f in "$build/setup.exe" "$build/uninst.exe" "$build/mksetup.exe" "$build/demo/app.exe" \
  "$build/tests/driver/driver.exe"; do
  m=$(machine_of "$f"); echo "vm32: $(basename "$f"): PE machine $m"
  [ "$m" = i386 ] || count "machine of $(basename "$f")" 1
done

# The build's Windows test programs, from the list the host's test tool wrote
# (each runs through scripts/wine-run with the properties the build gave it).
export E2E_PREFIX_TEMPLATE_ZH=${VM32_PREFIX_TEMPLATE_ZH:-} E2E_PREFIX_TEMPLATE_EN=${VM32_PREFIX_TEMPLATE_EN:-}
export WINEPREFIX=$local_root/prefix-tests HOME=$local_root/home
mkdir -p "$HOME/Desktop"
# The prepared prefix as an overlay (the prepared one itself is never written).
if command -v vm32-prefix >/dev/null; then
  vm32-prefix zh_CN "$WINEPREFIX"
  for d in "$WINEPREFIX"/drive_c/users/*/Desktop; do [ -L "$d" ] && ln -sfn "$HOME/Desktop" "$d"; done
fi
t0=$(date +%s)
LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 python3 "$top/tests/vm32/run_tests.py" "$build/vm32-tests.json" \
  --exclude setup_end_to_end --exclude uninst_end_to_end 2>&1 | tee "$results/tests.log" | sed 's/^/vm32: /'
count "test programs ($(($(date +%s) - t0)) s)" "${PIPESTATUS[0]}"
WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null

if [ $quick = 0 ]; then
  export E2E_WORK_ROOT=$local_root
  t0=$(date +%s)
  bash "$top/tests/e2e/e2e.sh" "$build" "$host" ${VM32_E2E_SCENARIOS:-full_install overwrite_answers \
    in_place_update damaged_payload silent_install silent_unwritable silent_in_place_update} 2>&1 |
    tee "$results/e2e.log" | sed 's/^/vm32: /'
  count "setup end to end ($(($(date +%s) - t0)) s)" "${PIPESTATUS[0]}"
  cp "$local_root"/e2e/*.log "$local_root"/e2e/*.bmp "$results/" 2>/dev/null
  t0=$(date +%s)
  bash "$top/tests/e2e/uninst.sh" "$build" "$host" ${VM32_UNINST_SCENARIOS:-silent_tampered} 2>&1 |
    tee "$results/uninst.log" | sed 's/^/vm32: /'
  count "uninstaller end to end ($(($(date +%s) - t0)) s)" "${PIPESTATUS[0]}"
fi

kill "$xvfb" 2>/dev/null
echo "vm32: 32-bit tier took $(($(date +%s) - start)) s"
echo "vm32: $passed passed, $failed failed"
[ "$failed" = 0 ]
