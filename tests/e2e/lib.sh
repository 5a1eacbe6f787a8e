# What the end-to-end scripts share: the build's programs, the Wine loader
# that runs them, a fresh work folder with its own home, Wine prefixes per
# locale, running a driver script, reading its log and the machine hive, and
# the scenario runner. Sourced by e2e.sh and uninst.sh.

# pe_machine FILE: i386, x86-64 or other, from the PE header's machine field.
pe_machine() {
  case "$(od -An -tx1 -j"$(( $(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') + 4 ))" -N2 "$1" | tr -d ' ')" in
    4c01) echo i386 ;; 6486) echo x86-64 ;; *) echo other ;;
  esac
}

# e2e_setup BUILD_DIR HOST_BUILD_DIR WORK_NAME: sets build, host, mksetup,
# driver, stub, app, loader and work (emptied), and the environment; exits 77
# (skipped) without the host packer.
e2e_setup() {
  build=$(cd "$1" && pwd); host=$2
  mksetup=$host/mksetup
  driver=$build/tests/driver/driver.exe
  stub=$build/setup.exe
  app=$build/demo/app.exe
  [ -x "$mksetup" ] || { echo "no host packer at $mksetup: skipped"; exit 77; }
  # The stub's machine field says which Wine runs it.
  case "$(pe_machine "$stub")" in
    x86-64) loader=/usr/lib/wine/wine64 ;;
    *) loader=/usr/lib/wine/wine ;;
  esac
  # E2E_WORK_ROOT puts the work folder elsewhere (the virtual machine's own
  # disk instead of the shared build folder).
  work=${E2E_WORK_ROOT:-$build}/$3
  rm -rf "$work"; mkdir -p "$work"
  export WINEDEBUG=-all
  # No menu entries in the user's own desktop for the shortcuts the tests make.
  export WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=
  # Wine links the desktop to the home folder: give the prefixes one of their own.
  export HOME=$work/home
  mkdir -p "$HOME/Desktop"
  passed=0; failed=0
}

fail() { echo "FAIL [$scenario]: $*"; failed=$((failed + 1)); scenario_ok=0; }
check() { # description, command...
  local what=$1; shift
  if ! "$@"; then fail "$what"; fi
}

# A fresh Wine prefix per locale, made once per run; copied from a prepared
# one when E2E_PREFIX_TEMPLATE_ZH / _EN name them (a new prefix costs the
# virtual machine most of a minute).
prefix_for() { # name [locale, when the name is not one]
  local p=$work/prefix-$1 loc=${2:-$1} template
  if [ ! -d "$p" ]; then
    case "$loc" in
      zh_CN*) template=${E2E_PREFIX_TEMPLATE_ZH:-} ;;
      *) template=${E2E_PREFIX_TEMPLATE_EN:-} ;;
    esac
    if [ -n "$template" ] && command -v vm32-prefix >/dev/null; then
      # In the virtual machine: an overlay on the prepared prefix, at once.
      vm32-prefix "${loc%%.*}" "$p" >&2
    elif [ -n "$template" ] && [ -d "$template" ]; then
      cp -a "$template" "$p"
    fi
    if [ -n "$template" ] && [ -d "$p" ]; then
      # Wine linked the prepared prefix's desktop to the home folder it was
      # made in; the tests look for shortcuts in this run's home.
      local d
      for d in "$p"/drive_c/users/*/Desktop; do
        [ -L "$d" ] && ln -sfn "$HOME/Desktop" "$d"
      done
    else
      WINEPREFIX=$p LANG=$loc LC_ALL=$loc "$loader" wineboot -i >/dev/null 2>&1
    fi
    WINEPREFIX=$p /usr/lib/wine/wineserver -w
    # Outline CJK glyphs for the pages' fonts, as in the demo's prefix.
    WINEPREFIX=$p LANG=$loc LC_ALL=$loc "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-fonts" "$loader" >&2
  fi
  echo "$p"
}

# run_script NAME [LOCALE [PREFIX-NAME]]: runs the driver script $work/NAME.txt
# in the locale's prefix (Chinese by default), or in the named prefix of that
# locale; output in NAME.log
run_script() {
  local name=$1 loc=${2:-zh_CN.UTF-8} prefix
  prefix=$(prefix_for "${3:-$loc}" "$loc")
  (cd "$work" && WINEPREFIX=$prefix LANG=$loc LC_ALL=$loc timeout 240 "$loader" "$driver" /out "$name.log" /script "$name.txt" >/dev/null 2>&1)
  local rc=$?
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w 2>/dev/null
  return $rc
}
log_has() { grep -qF -- "$2" "$work/$1.log"; }
exit_code() { sed -n 's/^exit=//p' "$work/$1.log" | tail -n 1; }

# The wizard's two pictures, plain colours of the template sizes.
make_pictures() {
  convert -size 473x256 xc:'#2050a0' "$work/welcome.jpg"
  convert -size 473x57 xc:'#ffffff' "$work/banner.jpg"
}

# hive_key PREFIX-NAME KEY [VALUE-NAME]: from the prefix's machine hive, the
# key below HKEY_LOCAL_MACHINE: "key" when it is there (no value name), else
# "REG_SZ data" or "REG_DWORD decimal" of the value; with "*" every value as
# "name = REG_... data", one a line; nothing when missing. A 32-bit setup in a
# 64-bit prefix writes the machine's 32-bit view, as on 64-bit Windows: its
# SOFTWARE keys are read under SOFTWARE\Wow6432Node.
hive_key() {
  python3 - "$(prefix_for "$1")/system.reg" "$2" "${3:-}" "$(pe_machine "$stub")" <<'PY'
import re, sys
hive, want, name, machine = sys.argv[1], sys.argv[2].lower(), sys.argv[3], sys.argv[4]
with open(hive, encoding='ascii', errors='replace') as f:
    wow64 = machine == 'i386' and any(line.startswith('#arch=win64') for line in f)
if wow64 and want.startswith('software\\'):
    want = 'software\\wow6432node\\' + want[len('software\\'):]
def unescape(s):
    s = re.sub(r'\\x([0-9a-fA-F]{1,4})', lambda m: chr(int(m.group(1), 16)), s)
    return s.replace('\\\\', '\\').replace('\\"', '"')
section = None
for line in open(hive, encoding='ascii', errors='replace'):
    line = line.rstrip('\n')
    if line.startswith('['):
        section = unescape(line[1:line.index(']')])
        if section.lower() == want and name == '':
            print('key')
            break
        continue
    if section and section.lower() == want:
        m = re.match(r'"(.*?)"=(?:"(.*)"|dword:([0-9a-fA-F]{8}))$', line)
        if not m:
            continue
        shown = 'REG_SZ ' + unescape(m.group(2)) if m.group(2) is not None else 'REG_DWORD %d' % int(m.group(3), 16)
        if name == '*':
            print(unescape(m.group(1)) + ' = ' + shown)
        elif unescape(m.group(1)) == name:
            print(shown)
PY
}

# uninst_registry PREFIX-NAME PRODUCT [VALUE-NAME]: the setup's own uninstall
# key of the product, as hive_key gives it.
uninst_registry() { hive_key "$1" "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\$2" "${3:-}"; }
# system_registry PREFIX-NAME PRODUCT [VALUE-NAME]: the product's entry in the
# system's list of installed programs.
system_registry() { hive_key "$1" "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$2" "${3:-}"; }

# run_scenarios NAME...: each scenario_NAME, counted; the summary line; fails
# when any check failed.
run_scenarios() {
  for scenario in "$@"; do
    scenario_ok=1
    "scenario_$scenario"
    if [ $scenario_ok = 1 ]; then passed=$((passed + 1)); echo "ok [$scenario]"; fi
  done
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
}
