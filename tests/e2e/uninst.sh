#!/usr/bin/env bash
# End-to-end tests of the uninstaller under Wine and Xvfb: pack a product with
# our uninst.exe, install it with the setup driven like a user, then run the
# installed uninst.exe and check what is gone and what is kept.
#
# uninst.sh BUILD_DIR HOST_BUILD_DIR [scenario ...]
set -uo pipefail
. "$(dirname "$0")/lib.sh"
uninstaller=$(cd "$1" && pwd)/uninst.exe
[ -f "$uninstaller" ] || { echo "no uninstaller at $uninstaller: skipped"; exit 77; }
e2e_setup "$1" "$2" e2e-uninst; shift 2

# The product: a Chinese name, a file in a Chinese subfolder, our uninstaller.
product=$work/product
mkdir -p "$product/docs/deep" "$product/中文目录"
cp "$app" "$product/app.exe"
printf 'readme\r\n' > "$product/readme.txt"
printf 'deep\r\n' > "$product/docs/deep/a.txt"
printf '说明\r\n' > "$product/中文目录/说明.txt"
make_pictures
# The packer adds the build's uninstaller itself (an older packer is told).
uninstaller_option=--default-uninstaller
"$mksetup" --help | grep -q -- --default-uninstaller || uninstaller_option=--uninstaller
"$mksetup" --quiet --stub "$stub" -o "$work/setup.exe" --name "卸载测试" --version 1.0 \
  --install-dir 'C:\Program Files\卸载测试\' --main app.exe --welcome "$work/welcome.jpg" --banner "$work/banner.jpg" \
  --dir "$product" "$uninstaller_option" "$uninstaller" || { echo "packing failed"; exit 1; }

t=$work/texts; mkdir -p "$t"
printf '卸载测试 1.0' > "$t/title"
printf '下一步(&N)' > "$t/next"
printf '完成(&F)' > "$t/finish"
printf '选择目录' > "$t/dir"
printf '准备安装' > "$t/ready"
printf '安装成功！' > "$t/done"
printf '询问' > "$t/ask"

target() { echo "$(prefix_for "$1")/drive_c/Program Files/卸载测试"; }
group_dir() { find "$(prefix_for "$1")/drive_c" -type d -name '卸载测试' -path '*Programs*' | head -n 1; }
registry_has_key() { [ "$(uninst_registry "$1" 卸载测试)" = key ]; } # locale
system_list_has_key() { [ "$(system_registry "$1" 卸载测试)" = key ]; } # locale

no_registry_key() { ! registry_has_key "$1"; }
not_in_system_list() { ! system_list_has_key "$1"; }

install() { # locale
  cat > "$work/install.txt" <<SCRIPT
start cmd="setup.exe"
wait-window title-file=texts/title timeout=90000
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
click text-file=texts/next
wait-window text-file=texts/done timeout=60000
sleep ms=1500
click text-file=texts/finish
wait-exit timeout=30000
SCRIPT
  run_script install "$1"
  [ "$(exit_code install)" = 0 ] && [ -f "$(target "$1")/uninst.exe" ] && [ -f "$(target "$1")/uninst.ini" ]
}

# Start the uninstaller, answer Yes, read its final message and close it.
answer_yes() {
  cat <<'SCRIPT'
start cmd="C:\Program Files\卸载测试\uninst.exe"
wait-window title-file=texts/ask timeout=60000
click id=6
wait-window title-file=texts/title timeout=60000
read-text
click id=1
wait-exit timeout=30000
SCRIPT
}

scenario_gui_uninstall() {
  local loc=zh_CN.UTF-8 dir
  check "installed" install $loc || return
  dir=$(target $loc)
  check "shortcuts made" test -f "$HOME/Desktop/卸载测试.lnk"
  check "registry key made" registry_has_key $loc
  check "listed in the system's list" system_list_has_key $loc
  check "the system's list starts the uninstaller" \
    [ "$(system_registry $loc 卸载测试 UninstallString)" = 'REG_SZ "C:\Program Files\卸载测试\uninst.exe"' ]
  printf 'mine' > "$dir/docs/mine.txt"

  # No keeps everything.
  cat > "$work/no.txt" <<'SCRIPT'
start cmd="C:\Program Files\卸载测试\uninst.exe"
wait-window title-file=texts/ask timeout=60000
read-text
click id=7
wait-exit timeout=30000
SCRIPT
  run_script no $loc
  check "question" log_has no 'text=确定要卸载“卸载测试 1.0”吗？'
  check "No exits 1" [ "$(exit_code no)" = 1 ]
  check "No removes nothing" test -f "$dir/app.exe" -a -f "$dir/uninst.ini" -a -f "$dir/uninst.exe"

  answer_yes > "$work/yes.txt"
  run_script yes $loc
  check "success message" log_has yes 'text=“卸载测试 1.0”已经被成功卸载。'
  check "exit code 0" [ "$(exit_code yes)" = 0 ]
  local f
  for f in app.exe readme.txt docs/deep/a.txt 中文目录/说明.txt uninst.ini uninst.exe; do
    check "$f removed" test ! -e "$dir/$f"
  done
  check "emptied folders removed" test ! -e "$dir/docs/deep" -a ! -e "$dir/中文目录"
  check "the user's file kept" [ "$(cat "$dir/docs/mine.txt")" = mine ]
  check "desktop shortcut removed" test ! -e "$HOME/Desktop/卸载测试.lnk"
  check "group removed" [ -z "$(group_dir $loc)" ]
  check "registry key removed" no_registry_key $loc
  check "gone from the system's list" not_in_system_list $loc
}

scenario_silent_tampered() {
  # English code page: the record's GBK paths must still be read right.
  local loc=en_US.UTF-8 dir prefix
  check "installed" install $loc || return
  dir=$(target $loc); prefix=$(prefix_for $loc)
  printf 'victim' > "$prefix/drive_c/victim.txt"
  printf 'victim' > "$prefix/drive_c/Program Files/victim2.txt"
  # Another program's entry in the system's list, which the record is made
  # to name instead of the product's.
  local victim='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Victim'
  WINEPREFIX=$prefix "$loader" reg add "$victim" /v DisplayName /d victim /f >/dev/null 2>&1
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
  python3 - "$dir/uninst.ini" <<'PY'
import sys
p = sys.argv[1]
b = open(p, 'rb').read()
extra = '[uninst]\r\n90=C:\\victim.txt\r\n91=C:\\Program Files\\卸载测试\\..\\victim2.txt\r\n'.encode('gbk')
b = b.replace(b'[uninst]\r\n', extra, 1)
own = '\\Uninstall\\卸载测试'.encode('gbk')
assert own in b
open(p, 'wb').write(b.replace(own, b'\\Uninstall\\Victim'))
PY
  cat > "$work/silent.txt" <<'SCRIPT'
start cmd="\"C:\Program Files\卸载测试\uninst.exe\" /s \"/LOG=C:\uninst log.txt\""
wait-exit timeout=60000
SCRIPT
  run_script silent $loc
  check "exit code 3" [ "$(exit_code silent)" = 3 ]
  check "outside path kept" [ "$(cat "$prefix/drive_c/victim.txt")" = victim ]
  check "path climbing out kept" [ "$(cat "$prefix/drive_c/Program Files/victim2.txt")" = victim ]
  check "product removed" test ! -e "$dir/app.exe" -a ! -e "$dir/中文目录/说明.txt" -a ! -e "$dir/uninst.ini"
  check "install directory removed" test ! -e "$dir"
  check "log names the refused path" grep -qF 'refused, not part of the installation: C:\victim.txt' "$prefix/drive_c/uninst log.txt"
  check "log names a deleted file" grep -qF 'deleted: C:\Program Files\卸载测试\中文目录\说明.txt' "$prefix/drive_c/uninst log.txt"
  check "the setup's key removed" no_registry_key $loc
  check "another program's entry kept" [ "$(system_registry $loc Victim DisplayName)" = 'REG_SZ victim' ]
  check "log names the refused entry" \
    grep -qF 'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Victim' "$prefix/drive_c/uninst log.txt"
}

scenario_log_link() {
  # /LOG naming a link to a system file: refused before anything is removed,
  # said on standard error, exit 4.
  local loc=en_US.UTF-8 dir prefix winini before rc
  check "installed" install $loc || return
  dir=$(target $loc); prefix=$(prefix_for $loc)
  winini="$prefix/drive_c/windows/win.ini"; before=$(md5sum < "$winini")
  ln -sfn "$winini" "$prefix/drive_c/link.log"
  (cd "$work" && WINEPREFIX=$prefix LANG=$loc LC_ALL=$loc timeout 120 "$loader" "$dir/uninst.exe" /S '/LOG=C:\link.log' \
    2>"$work/loglink.err" >/dev/null); rc=$?
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
  check "exit code 4" [ "$rc" = 4 ]
  check "standard error says why" grep -qF '/LOG refused: C:\link.log' "$work/loglink.err"
  check "win.ini untouched" [ "$(md5sum < "$winini")" = "$before" ]
  check "nothing removed" test -f "$dir/app.exe" -a -f "$dir/uninst.ini"
  rm -f "$prefix/drive_c/link.log"
  # Leave the prefix as it was for the next scenario.
  (cd "$work" && WINEPREFIX=$prefix LANG=$loc LC_ALL=$loc timeout 120 "$loader" "$dir/uninst.exe" /S >/dev/null 2>&1)
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
}

scenario_forged_cleanup() {
  # The cleanup switch from anyone but the uninstaller itself (no handed-down
  # secret): nothing is deleted, nothing scheduled.
  local loc=en_US.UTF-8 prefix rc
  prefix=$(prefix_for $loc)
  mkdir -p "$prefix/drive_c/victim"
  cp "$uninstaller" "$prefix/drive_c/victim/uninst.exe"
  (cd "$work" && WINEPREFIX=$prefix LANG=$loc LC_ALL=$loc timeout 120 "$loader" "$uninstaller" \
    /_CLEANUP=4:8:0123456789abcdef0123456789abcdef 'C:\victim\uninst.exe' >/dev/null 2>&1); rc=$?
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
  check "exit code 2" [ "$rc" = 2 ]
  check "the other uninstaller kept" test -f "$prefix/drive_c/victim/uninst.exe"
  check "nothing scheduled for the restart" bash -c "! grep -qi 'PendingFileRenameOperations' '$prefix/system.reg'"
}

scenario_file_in_use() {
  # The product still runs: its program file cannot go and is named in the
  # message; everything else is removed.
  local loc=zh_CN.UTF-8 dir
  check "installed" install $loc || return
  dir=$(target $loc)
  cat > "$work/running.txt" <<'SCRIPT'
start cmd="C:\Program Files\卸载测试\app.exe"
wait-window timeout=60000
sleep ms=20000
close
wait-exit timeout=30000
SCRIPT
  run_script running $loc &
  local runner=$!
  sleep 8
  answer_yes > "$work/inuse.txt"
  run_script inuse $loc
  wait $runner
  check "the running program still ran" log_has running exit=
  check "message names the file in use" log_has inuse 'text=“卸载测试 1.0”未能完全卸载，下列文件无法删除：\r\nC:\\Program Files\\卸载测试\\app.exe'
  check "exit code 3" [ "$(exit_code inuse)" = 3 ]
  check "the file in use is kept" test -f "$dir/app.exe"
  check "the rest is removed" test ! -e "$dir/readme.txt" -a ! -e "$dir/uninst.ini"
}

scenario_killed_install() {
  # A silent install of 2,000 files ended by TerminateProcess halfway: its
  # record must already list every file it wrote, so that the uninstaller
  # (put in by hand, since it is the payload's last file) removes them all
  # and keeps the user's own file in the directory.
  local loc=zh_CN.UTF-8 dir many=$work/many written
  python3 - "$many" <<'PY'
import os, random, sys
random.seed(17)
letters = b'abcdefghijklmnopqrstuvwxyz0123456789 \r\n'
for i in range(2000):
    folder = os.path.join(sys.argv[1], 'd%d' % (i % 10))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'f%04d.txt' % i), 'wb') as f:
        f.write(bytes(random.choice(letters) for _ in range(random.randint(1024, 4096))))
PY
  "$mksetup" --quiet --stub "$stub" -o "$work/many-setup.exe" --name 中断测试 --version 1.0 \
    --install-dir 'C:\Program Files\中断测试\' --main 'd0\f0000.txt' --welcome "$work/welcome.jpg" \
    --banner "$work/banner.jpg" --dir "$many" "$uninstaller_option" "$uninstaller" || { fail "packing"; return; }
  dir="$(prefix_for $loc)/drive_c/Program Files/中断测试"
  mkdir -p "$dir"
  printf 'mine' > "$dir/mine.txt"
  # Files go in name order, d0 first: d3\f0003.txt is about the 600th.
  cat > "$work/killed.txt" <<'SCRIPT'
start cmd="many-setup.exe /S"
wait-file path="C:\Program Files\中断测试\d3\f0003.txt" timeout=120000
kill
SCRIPT
  run_script killed $loc
  check "killed" log_has killed killed
  written=$(find "$dir" -name 'f*.txt' | wc -l)
  check "ended halfway ($written files written)" [ "$written" -gt 500 -a "$written" -lt 2000 ]
  check "no uninstaller written yet" test ! -e "$dir/uninst.exe"
  check "a record was left" test -f "$dir/uninst.ini"
  cp "$uninstaller" "$dir/uninst.exe"
  cat > "$work/after-kill.txt" <<'SCRIPT'
start cmd="\"C:\Program Files\中断测试\uninst.exe\" /S"
wait-exit timeout=120000
SCRIPT
  run_script after-kill $loc
  check "the uninstaller ran" [ -n "$(exit_code after-kill)" ]
  check "nothing of the product left: $(cd "$dir" && find . -mindepth 1 | grep -v '^./mine.txt$' | head -n 3 | tr '\n' ' ')" \
    [ "$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')" = "./mine.txt " ]
  check "the user's file kept" [ "$(cat "$dir/mine.txt")" = mine ]
}

scenario_another_product() {
  # A record edited to name another product's desktop shortcut, group and
  # key: that product's uninstall key names another uninstaller, so all of it
  # is kept; the files of this installation still go.
  local loc=zh_CN.UTF-8 dir prefix programs other=其他产品
  check "installed" install $loc || return
  dir=$(target $loc); prefix=$(prefix_for $loc)
  programs=$(dirname "$(group_dir $loc)")
  printf 'other' > "$HOME/Desktop/$other.lnk"
  mkdir -p "$programs/$other"
  printf 'other' > "$programs/$other/$other 2.0.lnk"
  printf 'other' > "$programs/$other/卸载 $other.lnk"
  WINEPREFIX=$prefix LANG=$loc LC_ALL=$loc "$loader" reg add \
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\uninst\\$other" /v UninstString /d 'C:\Other\uninst.exe' /f >/dev/null 2>&1
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
  python3 - "$dir/uninst.ini" "$other" <<'PY'
import re, sys
p, other = sys.argv[1], sys.argv[2]
t = open(p, 'rb').read().decode('gbk')
t = re.sub(r'(LinkFileName=.*\\)[^\\\r\n]*\.lnk', lambda m: m.group(1) + other + '.lnk', t)
t = re.sub(r'MenuGroupName=[^\r\n]*', 'MenuGroupName=' + other, t)
t = re.sub(r'(\[unreg\]\r\n1=.*\\uninst\\)[^\r\n]*', lambda m: m.group(1) + other, t)
open(p, 'wb').write(t.encode('gbk'))
PY
  check "record edited" grep -qF "$(printf 'MenuGroupName=%s' "$other" | iconv -t gbk)" "$dir/uninst.ini"
  cat > "$work/other.txt" <<'SCRIPT'
start cmd="\"C:\Program Files\卸载测试\uninst.exe\" /s \"/LOG=C:\other.log\""
wait-exit timeout=60000
SCRIPT
  run_script other $loc
  check "exit code 3" [ "$(exit_code other)" = 3 ]
  check "the other desktop shortcut kept" test -f "$HOME/Desktop/$other.lnk"
  check "the other group kept" test -f "$programs/$other/$other 2.0.lnk" -a -f "$programs/$other/卸载 $other.lnk"
  check "the other key kept" [ "$(uninst_registry $loc $other)" = key ]
  check "this product's files removed" test ! -e "$dir/app.exe" -a ! -e "$dir/uninst.ini"
  check "log says whose they are" grep -qF 'refused, belongs to C:\Other\uninst.exe' "$prefix/drive_c/other.log"
}

scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(gui_uninstall silent_tampered another_product log_link forged_cleanup file_in_use killed_install)
run_scenarios "${scenarios[@]}"
