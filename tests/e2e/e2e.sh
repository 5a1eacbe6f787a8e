#!/usr/bin/env bash
# End-to-end tests of the real setup under Wine and Xvfb: pack a product, start
# the setup, work its pages with the test driver like a user, then check the
# installed bytes, uninst.ini, the registry values and the shortcut files.
#
# e2e.sh BUILD_DIR HOST_BUILD_DIR [scenario ...]
set -uo pipefail
build=$(cd "$1" && pwd); host=$2; shift 2
top=$(cd "$(dirname "$0")/../.." && pwd)
mksetup=$host/mksetup
driver=$build/tests/driver/driver.exe
stub=$build/setup.exe
app=$build/demo/app.exe
[ -x "$mksetup" ] || { echo "no host packer at $mksetup: skipped"; exit 77; }
case "$(od -An -tx1 -j"$(( $(od -An -tu4 -j60 -N4 "$stub" | tr -d ' ') + 4 ))" -N2 "$stub" | tr -d ' ')" in
  6486) loader=/usr/lib/wine/wine64 ;;
  *) loader=/usr/lib/wine/wine ;;
esac
work=$build/e2e
rm -rf "$work"; mkdir -p "$work"
export WINEDEBUG=-all
# Wine links the desktop to the home folder: give the prefixes one of their own.
export HOME=$work/home
mkdir -p "$HOME/Desktop"
passed=0; failed=0
fail() { echo "FAIL [$scenario]: $*"; failed=$((failed + 1)); scenario_ok=0; }
check() { # description, command...
  local what=$1; shift
  if ! "$@"; then fail "$what"; fi
}

# A fresh Wine prefix per locale, made once per run.
prefix_for() {
  local p=$work/prefix-$1
  if [ ! -d "$p" ]; then
    WINEPREFIX=$p LANG=$1 LC_ALL=$1 "$loader" wineboot -i >/dev/null 2>&1
    WINEPREFIX=$p /usr/lib/wine/wineserver -w
  fi
  echo "$p"
}

# The product: main program, text, a file in a subfolder, uninstaller last.
product=$work/product
mkdir -p "$product/docs"
cp "$app" "$product/app.exe"
printf 'readme \xe4\xb8\xad\xe6\x96\x87\r\n' > "$product/readme.txt"
head -c 300000 /dev/urandom > "$product/docs/data.bin"
cp "$app" "$product/uninst.exe"
convert -size 473x256 xc:'#2050a0' "$work/welcome.jpg"
convert -size 473x57 xc:'#ffffff' "$work/banner.jpg"
pack() { # output [extra mksetup arguments]
  local out=$1; shift
  "$mksetup" --quiet --stub "$stub" -o "$out" --name "E2E工具" --version 2.1 --install-dir 'C:\Program Files\E2E工具\' \
    --main app.exe --welcome "$work/welcome.jpg" --banner "$work/banner.jpg" --dir "$product" "$@"
}
pack "$work/setup.exe" || { echo "packing failed"; exit 1; }

# Texts the driver matches, in UTF-8 files (command lines are not reliable for them).
t=$work/texts; mkdir -p "$t"
printf 'E2E工具 2.1' > "$t/title"
printf '下一步(&N)' > "$t/next"
printf '上一步(&P)' > "$t/back"
printf '取消(&C)' > "$t/cancel"
printf '完成(&F)' > "$t/finish"
printf '选择目录' > "$t/dir"
printf '准备安装' > "$t/ready"
printf '安装成功！' > "$t/done"
printf '安装未完成！' > "$t/incomplete"
printf '询问' > "$t/ask"
printf '是(&S)' > "$t/yes"
printf '否(&Q)' > "$t/no"
printf '全部是(&Q)' > "$t/all"
printf '错误：' > "$t/errcap"
printf '创建桌面快捷方式' > "$t/desktop"
printf '创建开始菜单快捷方式' > "$t/menu"

# run_script NAME LOCALE: runs the driver script $work/NAME.txt; output in NAME.log
run_script() {
  local name=$1 loc=${2:-zh_CN.UTF-8} prefix
  prefix=$(prefix_for "$loc")
  (cd "$work" && WINEPREFIX=$prefix LANG=$loc LC_ALL=$loc timeout 240 "$loader" "$driver" /out "$name.log" /script "$name.txt" >/dev/null 2>&1)
  local rc=$?
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w 2>/dev/null
  return $rc
}
log_has() { grep -qF -- "$2" "$work/$1.log"; }
exit_code() { sed -n 's/^exit=//p' "$work/$1.log" | tail -n 1; }
installed() { echo "$(prefix_for "${2:-zh_CN.UTF-8}")/drive_c/Program Files/E2E工具/$1"; }
same_file() { cmp -s "$1" "$2"; }
ini_text() { iconv -f GBK -t UTF-8 "$(installed uninst.ini "${1:-zh_CN.UTF-8}")" | tr -d '\r'; }
reg_value() { # locale value-name -> "REG_SZ data", read from the prefix's machine hive
  python3 - "$(prefix_for "$1")/system.reg" "$2" <<'PY'
import re, sys
hive, name = sys.argv[1], sys.argv[2]
def unescape(s):
    s = re.sub(r'\\x([0-9a-fA-F]{1,4})', lambda m: chr(int(m.group(1), 16)), s)
    return s.replace('\\\\', '\\').replace('\\"', '"')
section = None
for line in open(hive, encoding='ascii', errors='replace'):
    line = line.rstrip('\n')
    if line.startswith('['):
        section = unescape(line[1:line.index(']')])
        continue
    if section and section.lower() == 'software\\microsoft\\windows\\currentversion\\uninst\\e2e工具':
        m = re.match(r'"(.*?)"="(.*)"$', line)
        if m and unescape(m.group(1)) == name:
            print('REG_SZ ' + unescape(m.group(2)))
PY
}

# The walk from the welcome page to the finish page with default answers.
walk_to_finish() { # setup exe name
  cat <<SCRIPT
start cmd="$1"
wait-window title-file=texts/title timeout=90000
read-controls
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
read-controls
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
read-controls
click text-file=texts/next
SCRIPT
}

scenario_full_install() {
  { walk_to_finish setup.exe
    echo "wait-window text-file=texts/done timeout=60000"
    echo "read-controls"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/full.txt"
  run_script full
  check "exit code 0" [ "$(exit_code full)" = 0 ]
  check "app.exe installed" same_file "$product/app.exe" "$(installed app.exe)"
  check "readme installed" same_file "$product/readme.txt" "$(installed readme.txt)"
  check "subfolder file installed" same_file "$product/docs/data.bin" "$(installed docs/data.bin)"
  check "uninstaller installed" same_file "$product/uninst.exe" "$(installed uninst.exe)"
  local ini; ini=$(ini_text)
  check "uninst.ini title" grep -qx 'title=E2E工具 2.1' <<<"$ini"
  check "uninst.ini InstallDir" grep -qx 'InstallDir=C:\\Program Files\\E2E工具' <<<"$ini"
  check "uninst.ini file 1" grep -qx '1=C:\\Program Files\\E2E工具\\app.exe' <<<"$ini"
  check "uninst.ini file 2" grep -qx '2=C:\\Program Files\\E2E工具\\docs\\data.bin' <<<"$ini"
  check "uninst.ini file 3" grep -qx '3=C:\\Program Files\\E2E工具\\readme.txt' <<<"$ini"
  check "uninstaller not listed" bash -c "! grep -q '^4=' <<<'$ini'"
  check "uninst.ini unreg" grep -qx '1=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\E2E工具' <<<"$ini"
  check "uninst.ini menu group" grep -qx 'MenuGroupName=E2E工具' <<<"$ini"
  check "uninst.ini desktop link" grep -q '^LinkFileName=.*\\Desktop\\E2E工具\.lnk$' <<<"$ini"
  check "DisplayName" [ "$(reg_value zh_CN.UTF-8 DisplayName)" = "REG_SZ E2E工具 2.1" ]
  check "DisplayIcon" [ "$(reg_value zh_CN.UTF-8 DisplayIcon)" = 'REG_SZ C:\Program Files\E2E工具\app.exe,-0' ]
  check "uninstString" [ "$(reg_value zh_CN.UTF-8 uninstString)" = 'REG_SZ C:\Program Files\E2E工具\uninst.exe' ]
  local prefix; prefix=$(prefix_for zh_CN.UTF-8)
  check "desktop shortcut" test -f "$HOME/Desktop/E2E工具.lnk"
  local group; group=$(find "$prefix/drive_c" -type d -name 'E2E工具' -path '*Programs*' | head -n 1)
  check "group shortcut to the product" test -f "$group/E2E工具 2.1.lnk"
  check "group shortcut to the uninstaller" test -f "$group/卸载 E2E工具.lnk"
  check "finish page text" log_has full '“E2E工具 2.1 版”已经被成功安装。'
}

scenario_cancel_on_welcome() {
  cat > "$work/cancel.txt" <<SCRIPT
start cmd="setup.exe"
wait-window title-file=texts/title timeout=90000
click text-file=texts/cancel
wait-exit timeout=30000
SCRIPT
  run_script cancel
  check "cancel exits 0" [ "$(exit_code cancel)" = 0 ]
  check "cancel writes nothing" test ! -e "$(installed app.exe)"
}

scenario_overwrite_answers() {
  [ -f "$(installed app.exe)" ] || scenario_full_install
  # Run again over the installation of the full scenario: No for the first
  # file (kept, asked again), Yes to all for the second (no more questions).
  printf 'old contents' > "$(installed app.exe)"
  { walk_to_finish setup.exe
    echo "wait-window title-file=texts/ask timeout=60000"
    echo "read-controls"
    echo "click text-file=texts/no"
    echo "wait-window title-file=texts/ask timeout=60000"
    echo "click text-file=texts/all"
    echo "wait-window text-file=texts/done timeout=60000"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/overwrite.txt"
  run_script overwrite
  check "overwrite run exits 0" [ "$(exit_code overwrite)" = 0 ]
  check "answer No keeps the old file" [ "$(cat "$(installed app.exe)")" = "old contents" ]
  check "yes to all overwrote the rest" same_file "$product/uninst.exe" "$(installed uninst.exe)"
  check "question buttons in order" log_has overwrite '全部是(&Q)'
}

scenario_damaged_payload() {
  # A payload of four sections: the banner's marker removed.
  cp "$work/setup.exe" "$work/damaged.exe"
  python3 - "$work/damaged.exe" <<'PY'
import sys
p = sys.argv[1]
b = bytearray(open(p, 'rb').read())
m = b'$#@*&$*&'
i = b.rfind(m)
b[i:i + 8] = b'$#@*XXXX'
open(p, 'wb').write(b)
PY
  cat > "$work/damaged.txt" <<SCRIPT
start cmd="damaged.exe"
wait-window title-file=texts/errcap timeout=90000
read-text
click id=1
wait-exit timeout=30000
SCRIPT
  run_script damaged en_US.UTF-8
  check "damaged payload message" log_has damaged 'text=文件错误！'
  check "damaged payload exits 0" [ "$(exit_code damaged)" = 0 ]
}

scenario_in_place_update() {
  [ -f "$(installed app.exe)" ] || scenario_full_install
  # A new version of the product, started from the install directory itself:
  # the running main program is written aside and swapped in by the batch file.
  local v2=$work/product-v2
  rm -rf "$v2"; cp -r "$product" "$v2"
  printf 'VERSION-2' >> "$v2/app.exe"
  "$mksetup" --quiet --stub "$stub" -o "$(installed setup.exe)" --name "E2E工具" --version 2.1 \
    --install-dir 'C:\Program Files\E2E工具\' --main app.exe --welcome "$work/welcome.jpg" --banner "$work/banner.jpg" --dir "$v2"
  { walk_to_finish 'C:\Program Files\E2E工具\setup.exe'
    echo "wait-window title-file=texts/ask timeout=60000"
    echo "click text-file=texts/all"
    echo "wait-window text-file=texts/done timeout=60000"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/inplace.txt"
  run_script inplace
  check "in-place run exits 0" [ "$(exit_code inplace)" = 0 ]
  local i
  for i in $(seq 1 40); do [ -f "$(installed app.exe.dat)" ] || [ -f "$(installed cmmwj.bat)" ] || break; sleep 0.5; done
  sleep 1
  check "new main program swapped in" same_file "$v2/app.exe" "$(installed app.exe)"
  check "no .dat file left" test ! -e "$(installed app.exe.dat)"
  check "the batch file deleted itself" test ! -e "$(installed cmmwj.bat)"
}

scenario_unwritable_file() {
  # A directory where a file should go makes that write fail: the finish page
  # must say the installation is incomplete.
  local prefix; prefix=$(prefix_for en_US.UTF-8)
  rm -rf "$prefix/drive_c/Program Files/E2E工具"
  mkdir -p "$prefix/drive_c/Program Files/E2E工具/readme.txt"
  { walk_to_finish setup.exe
    echo "wait-window title-file=texts/ask timeout=60000"
    echo "click text-file=texts/yes"
    echo "wait-window text-file=texts/incomplete timeout=60000"
    echo "read-controls"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/unwritable.txt"
  run_script unwritable en_US.UTF-8
  check "incomplete run exits 0" [ "$(exit_code unwritable)" = 0 ]
  check "incomplete text names the count" log_has unwritable '“E2E工具 2.1 版”未能完整安装，有 1 个文件无法写入。'
  check "the other files are installed" same_file "$product/app.exe" "$(installed app.exe en_US.UTF-8)"
}

scenario_english_locale_texts() {
  # The same walk under an English system code page shows the same texts.
  local prefix; prefix=$(prefix_for en_US.UTF-8)
  rm -rf "$prefix/drive_c/Program Files/E2E工具"
  { walk_to_finish setup.exe
    echo "wait-window text-file=texts/done timeout=60000"
    echo "read-controls"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/english.txt"
  run_script english en_US.UTF-8
  check "english run exits 0" [ "$(exit_code english)" = 0 ]
  check "same page texts" diff <(grep '^control=' "$work/full.log" | sort) <(grep '^control=' "$work/english.log" | sort)
  check "same bytes on disk" same_file "$product/readme.txt" "$(installed readme.txt en_US.UTF-8)"
}

scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(cancel_on_welcome full_install overwrite_answers in_place_update unwritable_file english_locale_texts damaged_payload)
for scenario in "${scenarios[@]}"; do
  scenario_ok=1
  "scenario_$scenario"
  if [ $scenario_ok = 1 ]; then passed=$((passed + 1)); echo "ok [$scenario]"; fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
