#!/usr/bin/env bash
# End-to-end tests of the real setup under Wine and Xvfb: pack a product, start
# the setup, work its pages with the test driver like a user, then check the
# installed bytes, uninst.ini, the registry values and the shortcut files.
#
# e2e.sh BUILD_DIR HOST_BUILD_DIR [scenario ...]
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2" e2e; shift 2

# The product: main program, text, a file in a subfolder, uninstaller last.
product=$work/product
mkdir -p "$product/docs"
cp "$app" "$product/app.exe"
printf 'readme \xe4\xb8\xad\xe6\x96\x87\r\n' > "$product/readme.txt"
head -c 300000 /dev/urandom > "$product/docs/data.bin"
cp "$app" "$product/uninst.exe"
make_pictures
pack() { # output [extra mksetup arguments]
  local out=$1; shift
  "$mksetup" --quiet --stub "$stub" -o "$out" --name "E2E工具" --version 2.1 --install-dir 'C:\Program Files\E2E工具\' \
    --main app.exe --welcome "$work/welcome.jpg" --banner "$work/banner.jpg" --dir "$product" --publisher "E2E出版社" "$@"
}
pack "$work/setup.exe" || { echo "packing failed"; exit 1; }
# Products of their own for scenarios that must leave no trace or install
# elsewhere, so that their checks and the others' never meet.
pack_as() { # output name
  "$mksetup" --quiet --stub "$stub" -o "$1" --name "$2" --version 2.1 --install-dir "C:\\Program Files\\$2\\" \
    --main app.exe --welcome "$work/welcome.jpg" --banner "$work/banner.jpg" --dir "$product"
}
pack_as "$work/setup-none.exe" "E2E未装" && pack_as "$work/setup-browse.exe" "E2E浏览" &&
  pack_as "$work/setup-ask.exe" "E2E询问" || { echo "packing failed"; exit 1; }

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
printf '退出后启动软件' > "$t/runafter"
printf '安装程序命令行参数' > "$t/helpcap"
printf 'E2E未装 2.1' > "$t/title-none"
printf 'E2E浏览 2.1' > "$t/title-browse"
printf 'E2E询问 2.1' > "$t/title-ask"
printf 'E2E子目录 2.1' > "$t/title-sub"
printf 'NetTool 2.1' > "$t/title-net"
printf '选择安装目录：' > "$t/browse"

# Control identifiers the driver works with where a control shows no fixed
# text: the directory page's edit box, its Browse and Next buttons, the
# question's message label (from the window descriptions), and the edit box
# and tree of Wine's folder dialog (from its dialog resource).
dir_edit=170; dir_browse=160; dir_next=110; question_label=100
folder_edit=14149; folder_tree=14145
# Virtual keys.
vk_tab=0x09; vk_end=0x23; vk_right=0x27; vk_delete=0x2E

installed() { echo "$(prefix_for "${2:-zh_CN.UTF-8}")/drive_c/Program Files/E2E工具/$1"; }
# The swap batch's folders in a prefix's temporary directories (none once it ran).
batch_folders() { find "$1/drive_c/users" -maxdepth 4 -type d -name 'sw-????????????????' -path '*Temp*' 2>/dev/null; }
no_batch_folder() { [ -z "$(batch_folders "$1")" ]; }
same_file() { cmp -s "$1" "$2"; }
ini_text() { iconv -f GBK -t UTF-8 "$(installed uninst.ini "${1:-zh_CN.UTF-8}")" | tr -d '\r'; }
reg_value() { # locale value-name [product] -> "REG_SZ data"; an empty value
  # name gives "key" when the product's key is there at all
  uninst_registry "$1" "${3:-E2E工具}" "$2"
}
# The kilobytes of the product's files, rounded up.
product_kb() { find "$product" -type f -printf '%s\n' | awk '{ s += $1 } END { print int((s + 1023) / 1024) }'; }

# The walk from the welcome page to the finish page with default answers.
walk_to_finish() { # setup exe name [file with its title]
  cat <<SCRIPT
start cmd="$1"
wait-window title-file=${2:-texts/title} timeout=90000
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
  # Listed in the system's list of installed programs, recorded second.
  check "uninst.ini unreg 2" grep -qx '2=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E工具' <<<"$ini"
  local expected
  expected=$(cat <<VALUES
DisplayName = REG_SZ E2E工具 2.1
DisplayIcon = REG_SZ C:\Program Files\E2E工具\app.exe,-0
DisplayVersion = REG_SZ 2.1
Publisher = REG_SZ E2E出版社
UninstallString = REG_SZ "C:\Program Files\E2E工具\uninst.exe"
QuietUninstallString = REG_SZ "C:\Program Files\E2E工具\uninst.exe" /S
InstallLocation = REG_SZ C:\Program Files\E2E工具
EstimatedSize = REG_DWORD $(product_kb)
NoModify = REG_DWORD 1
NoRepair = REG_DWORD 1
VALUES
)
  system_registry zh_CN.UTF-8 E2E工具 '*' > "$work/system-key-wizard.txt"
  check "the system's list: every value" diff <(sort <<<"$expected") <(sort "$work/system-key-wizard.txt")
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
    # Once No is handled the box is gone: the next wait finds the next question,
    # not this one on its way out.
    echo "click text-file=texts/no wait=1"
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
  # The batch runs from a fresh folder in the temporary directory, not from
  # the install directory.
  for i in $(seq 1 40); do [ -f "$(installed app.exe.dat)" ] || ! no_batch_folder "$(prefix_for zh_CN.UTF-8)" || break; sleep 0.5; done
  sleep 1
  check "new main program swapped in" same_file "$v2/app.exe" "$(installed app.exe)"
  check "no .dat file left" test ! -e "$(installed app.exe.dat)"
  check "no batch file in the install directory" test ! -e "$(installed cmmwj.bat)"
  check "the batch deleted itself and its folder" no_batch_folder "$(prefix_for zh_CN.UTF-8)"
}

scenario_unwritable_file() {
  # A directory where a file should go makes that write fail: the finish page
  # must say the installation is incomplete, with the product's title whole
  # although it holds the count's placeholder letter N.
  local prefix; prefix=$(prefix_for en_US.UTF-8)
  local dir="$prefix/drive_c/Program Files/NetTool"
  pack_as "$work/setup-net.exe" NetTool || { fail "packing"; return; }
  rm -rf "$dir"
  mkdir -p "$dir/readme.txt"
  { walk_to_finish setup-net.exe texts/title-net
    echo "wait-window title-file=texts/ask timeout=60000"
    echo "click text-file=texts/yes"
    echo "wait-window text-file=texts/incomplete timeout=60000"
    echo "read-controls"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/unwritable.txt"
  run_script unwritable en_US.UTF-8
  check "incomplete run exits 0" [ "$(exit_code unwritable)" = 0 ]
  check "incomplete text names the title and the count" log_has unwritable '“NetTool 2.1 版”未能完整安装，有 1 个文件无法写入。'
  check "the other files are installed" same_file "$product/app.exe" "$dir/app.exe"
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

# ---- unattended installs, in a prefix of their own (Chinese locale) ----

# run_silent NAME: runs the driver script $work/NAME.txt in the silent prefix;
# the driver writes NAME.log, so the setup's own logs are named setup-*.log.
run_silent() {
  local prefix; prefix=$(prefix_for silent zh_CN.UTF-8)
  (cd "$work" && WINEPREFIX=$prefix LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 timeout 240 "$loader" "$driver" /out "$1.log" /script "$1.txt" >/dev/null 2>&1)
  local rc=$?
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w 2>/dev/null
  return $rc
}
silent_drive() { echo "$(prefix_for silent zh_CN.UTF-8)/drive_c"; }
silent_ini() { iconv -f GBK -t UTF-8 "$(silent_drive)/$1/uninst.ini" | tr -d '\r'; }
no_window() { ! grep -q '^error=a window showed' "$work/$1.log"; }

scenario_silent_install() {
  [ -f "$(installed uninst.ini)" ] || scenario_full_install
  rm -f "$HOME/Desktop/E2E工具.lnk"
  cat > "$work/silent.txt" <<'SCRIPT'
start cmd="setup.exe /S /LOG=setup-silent.log"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent
  check "no window" no_window silent
  check "silent exits 0" [ "$(exit_code silent)" = 0 ]
  local dir; dir="$(silent_drive)/Program Files/E2E工具"
  check "app.exe installed" same_file "$product/app.exe" "$dir/app.exe"
  check "subfolder file installed" same_file "$product/docs/data.bin" "$dir/docs/data.bin"
  check "uninstaller installed" same_file "$product/uninst.exe" "$dir/uninst.exe"
  check "uninst.ini as the wizard writes it" diff <(ini_text) <(silent_ini "Program Files/E2E工具")
  local v
  for v in DisplayName DisplayIcon uninstString; do
    check "registry $v as the wizard writes it" [ "$(reg_value silent $v)" = "$(reg_value zh_CN.UTF-8 $v)" ]
  done
  system_registry silent E2E工具 '*' > "$work/system-key-silent.txt"
  check "the system's list as the wizard writes it" diff "$work/system-key-wizard.txt" "$work/system-key-silent.txt"
  check "the system's list: the values" [ "$(wc -l < "$work/system-key-silent.txt")" = 10 ]
  check "desktop shortcut" test -f "$HOME/Desktop/E2E工具.lnk"
  local group; group=$(find "$(silent_drive)" -type d -name 'E2E工具' -path '*Programs*' | head -n 1)
  check "group shortcut to the product" test -f "$group/E2E工具 2.1.lnk"
  check "group shortcut to the uninstaller" test -f "$group/卸载 E2E工具.lnk"
  check "log: file written" grep -qF '写入文件：C:\Program Files\E2E工具\app.exe' "$work/setup-silent.log"
  check "log: registry" grep -qF '写入注册表：HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\uninst\E2E工具\DisplayName = E2E工具 2.1' "$work/setup-silent.log"
  check "log: result" grep -qF '安装完成，退出代码 0' "$work/setup-silent.log"
}

scenario_silent_directory_forms() {
  rm -f "$HOME/Desktop/E2E工具.lnk"
  # NSIS form: last, unquoted, with spaces.
  cat > "$work/silent-d.txt" <<'SCRIPT'
start cmd="setup.exe /nodesktop /s /NoGroup /D=C:\\Silent Apps\\Two Words"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-d
  check "no window (/D=)" no_window silent-d
  check "/D= exits 0" [ "$(exit_code silent-d)" = 0 ]
  check "/D= with spaces" same_file "$product/readme.txt" "$(silent_drive)/Silent Apps/Two Words/readme.txt"
  local ini; ini=$(silent_ini "Silent Apps/Two Words")
  check "/D= InstallDir" grep -qx 'InstallDir=C:\\Silent Apps\\Two Words' <<<"$ini"
  check "no desktop link recorded" bash -c "! grep -q '^LinkFileName=' <<<'$ini'"
  check "no group recorded" bash -c "! grep -q '^MenuGroupName=' <<<'$ini'"
  check "no desktop shortcut" test ! -e "$HOME/Desktop/E2E工具.lnk"
  # Inno form: quoted, with a final backslash before the quote.
  cat > "$work/silent-dir.txt" <<'SCRIPT'
start cmd="setup.exe /VERYSILENT /noicons /DIR=\"C:\\Quoted Dir\\App\\\""
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-dir
  check "/DIR= exits 0" [ "$(exit_code silent-dir)" = 0 ]
  check "/DIR= quoted" same_file "$product/app.exe" "$(silent_drive)/Quoted Dir/App/app.exe"
  check "DisplayIcon follows /DIR=" [ "$(reg_value silent DisplayIcon)" = 'REG_SZ C:\Quoted Dir\App\app.exe,-0' ]
  check "/NOICONS: no desktop shortcut" test ! -e "$HOME/Desktop/E2E工具.lnk"
  # Forward slashes: the directory is taken in its backslash form, so that
  # the record and the uninstaller see it so too.
  cat > "$work/silent-slash.txt" <<'SCRIPT'
start cmd="setup.exe /S /NOICONS /D=C:/Slash Dir/App/"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-slash
  check "/D= with slashes exits 0" [ "$(exit_code silent-slash)" = 0 ]
  check "/D= with slashes installs" same_file "$product/app.exe" "$(silent_drive)/Slash Dir/App/app.exe"
  check "/D= with slashes: InstallDir" grep -qx 'InstallDir=C:\\Slash Dir\\App' <<<"$(silent_ini "Slash Dir/App")"
  # A relative directory is no place to install: a bad switch, nothing written.
  cat > "$work/silent-relative.txt" <<'SCRIPT'
start cmd="setup.exe /S /NOICONS /D=Relative Dir"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-relative
  check "relative /D= exits 4" [ "$(exit_code silent-relative)" = 4 ]
  check "relative /D= installs nothing" test ! -e "$work/Relative Dir" -a ! -e "$(silent_drive)/Relative Dir"
}

scenario_silent_unwritable() {
  # A directory where a file should go makes its write fail (Wine running as
  # root overwrites read-only files).
  local dir; dir="$(silent_drive)/Program Files/E2E工具"
  rm -rf "$dir"; mkdir -p "$dir/readme.txt"
  cat > "$work/silent-ro.txt" <<'SCRIPT'
start cmd="setup.exe /S /NOICONS /LOG=setup-silent-ro.log"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-ro
  check "no window" no_window silent-ro
  check "unwritable file exits 3" [ "$(exit_code silent-ro)" = 3 ]
  check "the log names the file" grep -qF '无法写入文件：C:\Program Files\E2E工具\readme.txt：' "$work/setup-silent-ro.log"
  check "the others are installed" same_file "$product/uninst.exe" "$dir/uninst.exe"
  check "and registered" [ -n "$(reg_value silent uninstString)" ]
  check "log: result" grep -qF '安装未完成：1 个文件无法写入，退出代码 3' "$work/setup-silent-ro.log"
}

scenario_silent_link_in_target() {
  # An install directory its user can write, prepared with links to elsewhere
  # before the setup runs as administrator: its docs folder leads to a folder
  # outside, its uninst.ini to the system's win.ini. Nothing is written
  # through either; both count as not written, the rest installs.
  local drive; drive=$(silent_drive)
  local dir="$drive/Link Target" outside="$drive/outside1" winini="$drive/windows/win.ini" before
  rm -rf "$dir" "$outside"; mkdir -p "$dir" "$outside"
  ln -s "$outside" "$dir/docs"
  ln -s "$winini" "$dir/uninst.ini"
  before=$(md5sum < "$winini")
  cat > "$work/silent-link.txt" <<'SCRIPT'
start cmd="setup.exe /S /NOICONS /LOG=setup-silent-link.log /D=C:\\Link Target"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-link
  check "no window" no_window silent-link
  check "links in the target exit 3" [ "$(exit_code silent-link)" = 3 ]
  check "nothing written outside" [ -z "$(ls -A "$outside")" ]
  check "win.ini untouched" [ "$(md5sum < "$winini")" = "$before" ]
  check "the links are still links" test -L "$dir/docs" -a -L "$dir/uninst.ini"
  check "the rest installed" same_file "$product/app.exe" "$dir/app.exe"
  check "the log names the file" grep -qF '无法写入文件：C:\Link Target\docs\data.bin：' "$work/setup-silent-link.log"
  check "the log names uninst.ini" grep -qF '无法写入 INI：C:\Link Target\uninst.ini' "$work/setup-silent-link.log"
  check "log: result" grep -qF '安装未完成：2 个文件无法写入，退出代码 3' "$work/setup-silent-link.log"
  rm -rf "$dir" "$outside"
}

scenario_silent_percent_name() {
  # A main program whose name holds %SystemDrive%, updated in place: the
  # swap batch must take the name literally, not delete C:\victim\app.exe.
  local drive; drive=$(silent_drive)
  local dir="$drive/Percent Test" v1=$work/product-percent v2=$work/product-percent-v2
  rm -rf "$dir" "$v1" "$v2" "$drive/victim"
  mkdir -p "$v1/%SystemDrive%/victim" "$drive/victim"
  printf 'victim' > "$drive/victim/app.exe"
  cp "$app" "$v1/%SystemDrive%/victim/app.exe"
  cp "$app" "$v1/uninst.exe"
  cp -r "$v1" "$v2"
  printf 'VERSION-2' >> "$v2/%SystemDrive%/victim/app.exe"
  mkdir -p "$dir"; cp -r "$v1/." "$dir/"
  if ! "$mksetup" --quiet --stub "$stub" -o "$dir/setup.exe" --name "E2E百分号" --version 2.1 \
      --install-dir 'C:\Percent Test\' --main '%SystemDrive%\victim\app.exe' --welcome "$work/welcome.jpg" \
      --banner "$work/banner.jpg" --dir "$v2" 2>"$work/percent-pack.err"; then
    # Names with % may be refused outright; then neither packer nor setup
    # takes them and there is no batch to misread.
    check "the packer says why" grep -q '%' "$work/percent-pack.err"
    return
  fi
  cat > "$work/silent-percent.txt" <<'SCRIPT'
start cmd="\"C:\\Percent Test\\setup.exe\" /S /NOICONS"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-percent
  check "in-place run exits 0" [ "$(exit_code silent-percent)" = 0 ]
  local main="$dir/%SystemDrive%/victim/app.exe" i
  for i in $(seq 1 40); do [ -f "$main.dat" ] || ! no_batch_folder "$(prefix_for silent zh_CN.UTF-8)" || break; sleep 0.5; done
  sleep 1
  check "the file outside is untouched" [ "$(cat "$drive/victim/app.exe")" = victim ]
  check "new main program swapped in" same_file "$v2/%SystemDrive%/victim/app.exe" "$main"
  check "no .dat file left" test ! -e "$main.dat"
  rm -rf "$dir" "$drive/victim"
}

scenario_silent_damaged_payload() {
  cp "$work/setup.exe" "$work/damaged-silent.exe"
  python3 - "$work/damaged-silent.exe" <<'PY'
import sys
p = sys.argv[1]
b = bytearray(open(p, 'rb').read())
i = b.rfind(b'$#@*&$*&')
b[i:i + 8] = b'$#@*XXXX'
open(p, 'wb').write(b)
PY
  cat > "$work/silent-damaged.txt" <<'SCRIPT'
start cmd="damaged-silent.exe /S /LOG=setup-silent-damaged.log"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-damaged
  check "no window" no_window silent-damaged
  check "damaged payload exits 2" [ "$(exit_code silent-damaged)" = 2 ]
  check "the log says why" grep -qF '安装数据已损坏：分段不足' "$work/setup-silent-damaged.log"
}

scenario_silent_in_place_update() {
  # A new version started unattended from the install directory itself: the
  # main program goes aside and the batch file swaps it in after the end.
  local dir; dir="$(silent_drive)/Program Files/E2E工具"
  rm -rf "$dir"; mkdir -p "$dir"; cp -r "$product/." "$dir/"
  local v2=$work/product-silent-v2
  rm -rf "$v2"; cp -r "$product" "$v2"
  printf 'VERSION-2' >> "$v2/app.exe"
  "$mksetup" --quiet --stub "$stub" -o "$dir/setup.exe" --name "E2E工具" --version 2.1 \
    --install-dir 'C:\Program Files\E2E工具\' --main app.exe --welcome "$work/welcome.jpg" --banner "$work/banner.jpg" --dir "$v2"
  cat > "$work/silent-inplace.txt" <<'SCRIPT'
start cmd="\"C:\\Program Files\\E2E工具\\setup.exe\" /S /NOICONS"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-inplace
  check "no window" no_window silent-inplace
  check "in-place run exits 0" [ "$(exit_code silent-inplace)" = 0 ]
  local i
  for i in $(seq 1 40); do [ -f "$dir/app.exe.dat" ] || ! no_batch_folder "$(prefix_for silent zh_CN.UTF-8)" || break; sleep 0.5; done
  sleep 1
  check "new main program swapped in" same_file "$v2/app.exe" "$dir/app.exe"
  check "no .dat file left" test ! -e "$dir/app.exe.dat"
  check "the batch deleted itself and its folder" no_batch_folder "$(prefix_for silent zh_CN.UTF-8)"
}

scenario_silent_record_directory() {
  # A payload whose directory field lacks the final backslash (as packers
  # other than ours may write it), installed with /S and no /D=: the files go
  # into that folder, not next to it. The field is changed in place (its
  # final backslash becomes an X, the same length), and the checksum field,
  # which covers the record, is renamed so that the setup sees none, as in
  # such a packer's payload.
  pack_as "$work/setup-noslash.exe" E2E无斜杠 || { fail "packing"; return; }
  python3 - "$work/setup-noslash.exe" <<'PY' || { fail "patching the record"; return; }
import sys
p = sys.argv[1]
b = open(p, 'rb').read()
old = 'C:\\Program Files\\E2E无斜杠\\|'.encode('gbk')
new = 'C:\\Program Files\\E2E无斜杠X|'.encode('gbk')
assert b.count(old) == 1 and b.count(b'|crc32all=') == 1
open(p, 'wb').write(b.replace(old, new).replace(b'|crc32all=', b'|crc99all='))
PY
  cat > "$work/silent-noslash.txt" <<'SCRIPT'
start cmd="setup-noslash.exe /S /NOICONS"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-noslash
  check "no window" no_window silent-noslash
  check "exits 0" [ "$(exit_code silent-noslash)" = 0 ]
  local dir; dir="$(silent_drive)/Program Files/E2E无斜杠X"
  check "installed into the record's folder" same_file "$product/app.exe" "$dir/app.exe"
  check "nothing next to it" test ! -e "$(silent_drive)/Program Files/E2E无斜杠Xapp.exe"
  check "uninst.ini InstallDir" grep -qx 'InstallDir=C:\\Program Files\\E2E无斜杠X' <<<"$(silent_ini "Program Files/E2E无斜杠X")"
}

scenario_bad_switches() {
  cat > "$work/badsilent.txt" <<'SCRIPT'
start cmd="setup.exe /S /BOGUS"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent badsilent
  check "no window" no_window badsilent
  check "unknown switch exits 4" [ "$(exit_code badsilent)" = 4 ]
  # Without a silent switch unknown arguments (a launcher's own) are ignored
  # and logged; the wizard runs.
  cat > "$work/badgui.txt" <<'SCRIPT'
start cmd="setup.exe /BOGUS --from-launcher /LOG=setup-ignored.log"
wait-window title-file=texts/title timeout=90000
click text-file=texts/cancel
wait-exit timeout=30000
SCRIPT
  run_silent badgui
  check "unknown arguments: the wizard ran and was cancelled" [ "$(exit_code badgui)" = 0 ]
  check "no box about them" bash -c "! grep -q '^title=安装程序命令行参数' '$work/badgui.log'"
  check "the log names them" grep -qF '忽略无法识别的参数：/BOGUS' "$work/setup-ignored.log"
  check "the log names each" grep -qF '忽略无法识别的参数：--from-launcher' "$work/setup-ignored.log"
  cat > "$work/help.txt" <<'SCRIPT'
start cmd="setup.exe /?"
wait-window title-file=texts/helpcap timeout=90000
read-text
click id=1
wait-exit timeout=30000
SCRIPT
  run_silent help
  check "help lists /D=" log_has help '/D=目录'
  check "help exits 0" [ "$(exit_code help)" = 0 ]
}

scenario_log_link() {
  # /LOG naming a link to a system file, or a device: refused before anything
  # is installed, said on standard error, exit 4.
  local prefix; prefix=$(prefix_for silent zh_CN.UTF-8)
  local winini="$prefix/drive_c/windows/win.ini" before rc log
  before=$(md5sum < "$winini")
  ln -sfn "$winini" "$prefix/drive_c/link.log"
  for log in 'C:\link.log' 'NUL'; do
    (cd "$work" && WINEPREFIX=$prefix LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 timeout 120 "$loader" setup.exe /S \
      "/LOG=$log" '/D=C:\log link test' 2>"$work/loglink.err" >/dev/null); rc=$?
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
    check "$log: exit code 4" [ "$rc" = 4 ]
    check "$log: standard error says why" grep -qF "/LOG refused: " "$work/loglink.err"
    check "$log: nothing installed" test ! -e "$prefix/drive_c/log link test"
  done
  check "win.ini untouched" [ "$(md5sum < "$winini")" = "$before" ]
  rm -f "$prefix/drive_c/link.log"
}

scenario_unquoted_program_path() {
  # A launcher that does not quote the program's path: its blanks must not
  # split the path into switches. Wine hands the child its name quoted, so
  # here this only shows the launch works; the reading of an unquoted line as
  # Windows passes it is covered by the switch tests on the host.
  local dir; dir="$(silent_drive)/Setup Files"
  mkdir -p "$dir" && cp "$work/setup.exe" "$dir/setup.exe"
  cat > "$work/silent-unquoted.txt" <<'SCRIPT'
start cmd="C:\\Setup Files\\setup.exe /S /NOICONS /D=C:\\Unquoted Run"
wait-exit timeout=120000 no-window=1
SCRIPT
  run_silent silent-unquoted
  check "no window (unquoted path)" no_window silent-unquoted
  check "unquoted path with a blank exits 0" [ "$(exit_code silent-unquoted)" = 0 ]
  check "unquoted path: switches read" same_file "$product/readme.txt" "$(silent_drive)/Unquoted Run/readme.txt"
}

scenario_checksum_field() {
  # A payload whose checksum field does not match its sections: one hex digit
  # changed, the resource's size unchanged; or whose record was changed (the
  # publisher's name, the same length). Refused before any page.
  local sum
  sum=$(grep -ao 'crc32all=[0-9A-F]\{8\}' "$work/setup.exe" | head -n 1)
  check "the packer wrote a checksum field" [ -n "$sum" ]
  local wrong=${sum:0:16}$(case ${sum:16:1} in 0) echo 1 ;; *) echo 0 ;; esac)
  python3 - "$work/setup.exe" "$work/wrongsum.exe" "$sum" "$wrong" "crc99all=${sum:9}" "$work/nosum.exe" \
    "$work/wrongrecord.exe" <<'PY'
import sys
src, wrongsum, good, wrong, renamed, nosum, wrongrecord = sys.argv[1:]
b = open(src, 'rb').read()
assert b.count(good.encode()) == 1
open(wrongsum, 'wb').write(b.replace(good.encode(), wrong.encode()))
open(nosum, 'wb').write(b.replace(good.encode(), renamed.encode()))
publisher, other = 'publisher=E2E出版社'.encode('gbk'), 'publisher=E2E出版商'.encode('gbk')
assert b.count(publisher) == 1 and len(other) == len(publisher)
open(wrongrecord, 'wb').write(b.replace(publisher, other))
PY
  local bad
  for bad in wrongsum wrongrecord; do
    cat > "$work/$bad.txt" <<SCRIPT
start cmd="$bad.exe"
wait-window title-file=texts/errcap timeout=90000
read-text
click id=1
wait-exit timeout=30000
SCRIPT
    run_script $bad en_US.UTF-8
    check "$bad: damaged payload message" log_has $bad 'text=文件错误！'
    check "$bad: exits 0" [ "$(exit_code $bad)" = 0 ]
  done
  # Without the field (as an older packer wrote it) the setup installs.
  local prefix; prefix=$(prefix_for en_US.UTF-8)
  rm -rf "$prefix/drive_c/Program Files/E2E工具"
  { walk_to_finish nosum.exe
    echo "wait-window text-file=texts/done timeout=60000"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/nosum.txt"
  run_script nosum en_US.UTF-8
  check "no field: exits 0" [ "$(exit_code nosum)" = 0 ]
  check "no field: installed" same_file "$product/app.exe" "$(installed app.exe en_US.UTF-8)"
  check "--list sees the damage" bash -c "! '$mksetup' --list '$work/wrongsum.exe' >/dev/null 2>&1"
  check "--list sees the changed record" bash -c "! '$mksetup' --list '$work/wrongrecord.exe' >/dev/null 2>&1"
}

scenario_back_next_cancel() {
  # Back and Next between the pages, then Cancel on the ready page: the pages
  # come again with their texts, and nothing is installed.
  cat > "$work/backnext.txt" <<SCRIPT
start cmd="setup.exe"
wait-window title-file=texts/title timeout=90000
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
click text-file=texts/back
wait-window title-file=texts/title timeout=30000
read-controls
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
click text-file=texts/back
wait-window text-file=texts/dir timeout=30000
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
read-controls
click text-file=texts/cancel
wait-exit timeout=30000
SCRIPT
  run_script backnext
  check "back/next/cancel exits 0" [ "$(exit_code backnext)" = 0 ]
  check "the ready page came again" log_has backnext '现在准备安装“E2E工具 2.1 版”。'
  check "cancel on the ready page writes nothing" test ! -e "$(installed app.exe)"
}

scenario_no_shortcuts() {
  # Both boxes cleared on the ready page: no shortcut and no group, but the
  # registry values and the removal records are still written.
  local prefix; prefix=$(prefix_for en_US.UTF-8)
  rm -rf "$prefix/drive_c/Program Files/E2E工具"
  rm -f "$HOME/Desktop/E2E工具.lnk"
  { echo 'start cmd="setup.exe"'
    echo "wait-window title-file=texts/title timeout=90000"
    echo "click text-file=texts/next"
    echo "wait-window text-file=texts/dir timeout=30000"
    echo "click text-file=texts/next"
    echo "wait-window text-file=texts/ready timeout=30000"
    echo "click text-file=texts/desktop"
    echo "click text-file=texts/menu"
    echo "click text-file=texts/next"
    echo "wait-window text-file=texts/done timeout=60000"
    echo "sleep ms=1500"
    echo "click text-file=texts/finish"
    echo "wait-exit timeout=30000"; } > "$work/noicons.txt"
  run_script noicons en_US.UTF-8
  check "no-shortcut run exits 0" [ "$(exit_code noicons)" = 0 ]
  local ini; ini=$(ini_text en_US.UTF-8)
  check "no desktop link recorded" bash -c "! grep -q '^LinkFileName=' <<<'$ini'"
  check "no group recorded" bash -c "! grep -q '^MenuGroupName=' <<<'$ini'"
  check "unreg still recorded" grep -qx '1=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\E2E工具' <<<"$ini"
  check "no desktop shortcut" test ! -e "$HOME/Desktop/E2E工具.lnk"
  check "no group folder" test -z "$(find "$prefix/drive_c" -type d -name 'E2E工具' -path '*Programs*' | head -n 1)"
  check "registry still written" [ "$(reg_value en_US.UTF-8 DisplayName)" = "REG_SZ E2E工具 2.1" ]
}

# ---- the directory page, closing, the question box, in-place update of a subfolder ----

# Nothing of product NAME anywhere: no install folder, no uninstall key, no
# desktop shortcut, no group.
nothing_written() { # product name
  local prefix; prefix=$(prefix_for zh_CN.UTF-8)
  check "$1: no install folder" test ! -e "$prefix/drive_c/Program Files/$1"
  check "$1: no uninstall key" [ -z "$(reg_value zh_CN.UTF-8 '' "$1")" ]
  check "$1: not in the system's list" [ -z "$(system_registry zh_CN.UTF-8 "$1")" ]
  check "$1: no desktop shortcut" test ! -e "$HOME/Desktop/$1.lnk"
  check "$1: no group" test -z "$(find "$prefix/drive_c" -type d -name "$1" -path '*Programs*' | head -n 1)"
}

# Replaces the directory field's text as a user does: click into it, select
# all, delete, type.
type_directory() { # file with the text
  cat <<SCRIPT
mouse-click id=$dir_edit
wait-focus id=$dir_edit timeout=30000
select-all id=$dir_edit
key vk=$vk_delete id=$dir_edit
type file=$1 id=$dir_edit
wait-text id=$dir_edit text-file=$1 timeout=30000
SCRIPT
}

scenario_empty_directory() {
  # Next with the field emptied is refused without a message: the page stays
  # and the edit box takes the focus back (from Browse, where Tab put it). A
  # directory typed afterwards without a final backslash is taken with one
  # (Back from the ready page shows it), and Cancel then leaves no trace.
  printf 'C:\\Typed Dir' > "$work/typed-dir"
  printf 'C:\\Typed Dir\\' > "$work/typed-dir-confirmed"
  { cat <<SCRIPT
start cmd="setup-none.exe"
wait-window title-file=texts/title-none timeout=90000
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
mouse-click id=$dir_edit
wait-focus id=$dir_edit timeout=30000
select-all id=$dir_edit
key vk=$vk_delete id=$dir_edit
wait-text id=$dir_edit text="" timeout=30000
key vk=$vk_tab
wait-focus id=$dir_browse timeout=30000
click id=$dir_next wait=1 timeout=30000
focus
read-text id=$dir_edit
SCRIPT
    type_directory typed-dir
    cat <<SCRIPT
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
click text-file=texts/back
wait-window text-file=texts/dir timeout=30000
wait-text id=$dir_edit text-file=typed-dir-confirmed timeout=30000
click text-file=texts/cancel
wait-exit timeout=30000
SCRIPT
  } > "$work/emptydir.txt"
  run_script emptydir
  check "the refused Next returned on the page" grep -qx 'text=' "$work/emptydir.log"
  check "the edit box has the focus" grep -qx "focus=$dir_edit Edit " "$work/emptydir.log"
  check "cancel exits 0" [ "$(exit_code emptydir)" = 0 ]
  nothing_written E2E未装
  check "the typed directory is not created" test ! -e "$(prefix_for zh_CN.UTF-8)/drive_c/Typed Dir"
}

# The driver lines that start the product that must leave no trace and reach
# a page: welcome, dir, ready, or dir-again (the directory page after Back from
# the ready page).
reach_page() {
  echo 'start cmd="setup-none.exe"'
  echo 'wait-window title-file=texts/title-none timeout=90000'
  [ "$1" = welcome ] && return
  printf '%s\n' 'click text-file=texts/next' 'wait-window text-file=texts/dir timeout=30000'
  [ "$1" = dir ] && return
  printf '%s\n' 'click text-file=texts/next' 'wait-window text-file=texts/ready timeout=30000'
  [ "$1" = ready ] && return
  printf '%s\n' 'click text-file=texts/back' 'wait-window text-file=texts/dir timeout=30000'
}

scenario_cancel_on_directory() {
  { reach_page dir; printf '%s\n' 'click text-file=texts/cancel' 'wait-exit timeout=30000'; } > "$work/canceldir.txt"
  run_script canceldir
  check "cancel on the directory page exits 0" [ "$(exit_code canceldir)" = 0 ]
  nothing_written E2E未装
}

scenario_close_box() {
  # The title bar's close box on the welcome page and on the directory page
  # (first entered, and again after Back from the ready page), the close
  # request on the ready page: the setup ends with 0 and writes nothing.
  local page close
  for page in welcome dir dir-again ready; do
    close='close via=syscommand'
    [ $page = ready ] && close=close
    { reach_page $page; printf '%s\n' "$close" 'wait-exit timeout=30000'; } > "$work/close-$page.txt"
    run_script close-$page
    check "closing the $page page exits 0" [ "$(exit_code close-$page)" = 0 ]
  done
  nothing_written E2E未装
}

# From the finish page to the end: the registration step has begun once the
# desktop shortcut is there, and the Finish press waits behind it.
finish_after_registration() { # product name
  cat <<SCRIPT
wait-window text-file=texts/done timeout=60000
wait-file path="%USERPROFILE%\\Desktop\\$1.lnk" timeout=60000
click text-file=texts/finish
wait-exit timeout=30000
SCRIPT
}

# Picks a folder in the open folder dialog by typing its path into the
# dialog's edit box, presses OK and waits for the field to show the result.
browse_typed() { # file with the folder, file with the expected field
  cat <<SCRIPT
click id=$dir_browse
wait-window text-file=texts/browse timeout=30000
mouse-click id=$folder_edit
wait-focus id=$folder_edit timeout=30000
select-all id=$folder_edit
key vk=$vk_delete id=$folder_edit
type file=$1 id=$folder_edit
wait-text id=$folder_edit text-file=$1 timeout=30000
click id=1
wait-gone timeout=30000
wait-window text-file=texts/dir timeout=30000
wait-text id=$dir_edit text-file=$2 timeout=30000
SCRIPT
}

# A screenshot converted to PNG (for people to look at) that is not one flat
# colour.
picture_shows_something() { # file.bmp
  convert "$1" "${1%.bmp}.png" && [ "$(identify -format '%k' "${1%.bmp}.png")" -gt 8 ]
}

scenario_browse_directory() {
  # The folder dialog from Browse: cancelled it changes nothing; a folder
  # chosen gets the default directory's last name appended (after a
  # backslash only when it has none) unless it contains that name already;
  # the setup installs where the field says.
  local prefix; prefix=$(prefix_for zh_CN.UTF-8)
  mkdir -p "$prefix/drive_c/Jump Dir/E2E浏览 旧版"
  printf 'C:\\Program Files\\E2E浏览\\' > "$work/browse-default"
  printf 'C:\\' > "$work/browse-root"
  printf 'C:\\E2E浏览' > "$work/browse-root-field"
  printf 'C:\\Jump Dir\\E2E浏览 旧版' > "$work/browse-named"
  printf 'C:\\Jump Dir\\E2E浏览' > "$work/browse-tree-field"
  printf '我的电脑' > "$work/browse-computer"
  printf 'Jump Dir' > "$work/browse-jump"
  { cat <<SCRIPT
start cmd="setup-browse.exe"
wait-window title-file=texts/title-browse timeout=90000
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
click id=$dir_browse
wait-window text-file=texts/browse timeout=30000
screenshot file=browse-dialog.bmp
click id=2
wait-gone timeout=30000
wait-window text-file=texts/dir timeout=30000
wait-text id=$dir_edit text-file=browse-default timeout=30000
SCRIPT
    browse_typed browse-root browse-root-field
    browse_typed browse-named browse-named
    # Through the tree by keys: the last top item (the computer), open it,
    # its first drive, open that, then the folder by its first letter.
    cat <<SCRIPT
click id=$dir_browse
wait-window text-file=texts/browse timeout=30000
wait-window text-file=texts/dir timeout=30000
read-text id=$dir_edit
wait-window text-file=texts/browse timeout=30000
wait-focus id=$folder_tree timeout=30000
key vk=$vk_end id=$folder_tree
wait-text id=$folder_edit text-file=browse-computer timeout=30000
key vk=$vk_right id=$folder_tree
key vk=$vk_right id=$folder_tree
key vk=$vk_right id=$folder_tree
type text=J id=$folder_tree
wait-text id=$folder_edit text-file=browse-jump timeout=30000
screenshot file=browse-tree.bmp
click id=1
wait-gone timeout=30000
wait-window text-file=texts/dir timeout=30000
wait-text id=$dir_edit text-file=browse-tree-field timeout=30000
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
click text-file=texts/next
SCRIPT
    finish_after_registration E2E浏览; } > "$work/browse.txt"
  run_script browse
  check "browse run exits 0" [ "$(exit_code browse)" = 0 ]
  check "a folder with the name is taken unchanged" grep -qxF 'text=C:\\Jump Dir\\E2E浏览 旧版' "$work/browse.log"
  local dir="$prefix/drive_c/Jump Dir/E2E浏览"
  check "installed into the browsed folder" same_file "$product/app.exe" "$dir/app.exe"
  check "subfolder file there too" same_file "$product/docs/data.bin" "$dir/docs/data.bin"
  check "uninst.ini InstallDir" grep -qx 'InstallDir=C:\\Jump Dir\\E2E浏览' <<<"$(iconv -f GBK -t UTF-8 "$dir/uninst.ini" | tr -d '\r')"
  check "DisplayIcon" [ "$(reg_value zh_CN.UTF-8 DisplayIcon E2E浏览)" = 'REG_SZ C:\Jump Dir\E2E浏览\app.exe,-0' ]
  check "not the default directory" test ! -e "$prefix/drive_c/Program Files/E2E浏览"
  check "not the root choice" test ! -e "$prefix/drive_c/E2E浏览"
  check "the named folder stays empty" test -z "$(ls -A "$prefix/drive_c/Jump Dir/E2E浏览 旧版")"
  local shot
  for shot in browse-dialog browse-tree; do
    check "$shot screenshot" picture_shows_something "$work/$shot.bmp"
  done
}

ascending() { # numbers: true when each is greater than the one before
  local before= n
  for n; do
    [ -z "$before" ] || [ "$n" -gt "$before" ] || return 1
    before=$n
  done
  [ -n "$before" ]
}

# The question box of log NAME against the layout rules, for the measured
# message: the label grows past 256 pixels of text to 5/6 of it and the
# window to the label + 8 (the system caps a window at its largest tracking
# size); the label grows past 40 pixels of lines (line height x lines +
# lines) by half and the window to the label + 40; the three buttons sit in
# one row 10 pixels above the bottom, the middle one (全部是) centred, the
# others 10 pixels to either side. On a display of another density every
# length of the rules (and of the template) is scaled by DPI / 96.
question_layout_ok() { # log name, expected case: short | long | capped | any, [DPI]
  python3 - "$work/$1.log" "$2" "${3:-96}" <<'PY'
import math, sys
lines = open(sys.argv[1], encoding='utf-8').read().splitlines()
case = sys.argv[2]
dpi = int(sys.argv[3])
def S(v):  # a template length on this display, rounded as the system rounds
    return (v * dpi + 48) // 96
def field(key):
    return [int(v) for v in next(l for l in lines if l.startswith(key + '=')).split('=', 1)[1].split()[:4]]
win_x, win_y, win_w, win_h = field('window')
client_w, client_h = field('client')
max_w, max_h = field('max-track')
cx, cy, count = field('extent')
wrapped, = field('wrapped')
children = {}
for l in lines:
    if l.startswith('child='):
        p = l[6:].split(' ', 7)
        children[p[7] if len(p) > 7 else ''] = [int(v) for v in p[2:7]]
label = next(v for k, v in children.items() if k.startswith('文件 '))
yes, all_, no = children['是(&S)'], children['全部是(&Q)'], children['否(&Q)']
errors = []
def expect(what, got, want):
    if got != want:
        errors.append('%s: %s, expected %s' % (what, got, want))
w, h = cx, math.trunc(cy * count + count)
label_w = math.trunc(w - w / 6) if w > S(256) else S(256)
label_h = math.trunc(h + h / 2) if h > S(40) else S(40)
rule_w = math.trunc(label_w + S(8)) if w > S(256) else S(271)
rule_h = math.trunc(label_h + S(40)) if h > S(40) else S(137)
expect('lines of the message', count, 2)
if case == 'short':
    expect('short text keeps the template size', (w <= S(256), h <= S(40)), (True, True))
elif case == 'long':
    expect('long text widens within the screen', (w > S(256), rule_w < max_w), (True, True))
elif case == 'capped':
    expect('very long text reaches the cap', rule_w > max_w, True)
# A box capped by the system keeps the label inside it, at the rules' margin,
# and the height follows the message as wrapped at that width.
shown_label_w = label_w
if rule_w > win_w:
    shown_label_w = win_w - (rule_w - label_w)
    spans = -(-w // shown_label_w)
    h = h // count * (count - 1 + spans)
    label_h = math.trunc(h + h / 2) if h > S(40) else S(40)
    rule_h = math.trunc(label_h + S(40)) if h > S(40) else S(137)
expect('window size', (win_w, win_h), (min(rule_w, max_w), min(rule_h, max_h)))
# Centred for the size it grew to: no part of it off the screen's top or left,
# and no wider reach to the right than the largest window the system allows.
expect('window on the screen', (win_x >= 0, win_y >= 0, win_x + win_w <= max_w), (True, True, True))
expect('label', label, [1, S(8), S(16), shown_label_w, label_h])
expect('the text fits the label height', wrapped <= label_h, True)
bw, bh = yes[3], yes[4]
for name, b in (('是', yes), ('全部是', all_), ('否', no)):
    expect(name + ' visible', b[0], 1)
    expect(name + ' size', (b[3], b[4]), (bw, bh))
    expect(name + ' top', b[2], math.trunc(client_h - bh - S(10)))
middle = math.trunc(math.trunc(client_w / 2) - bw / 2)
expect('全部是 left', all_[1], middle)
expect('是 left', yes[1], math.trunc(middle - bw - S(10)))
expect('否 left', no[1], math.trunc(middle + bw + S(10)))
expect('buttons inside the client area', no[1] + bw <= client_w and yes[1] >= 0, True)
for e in errors:
    print(e)
sys.exit(1 if errors else 0)
PY
}

scenario_question_layout() {
  # The overwrite question for a short, a long and a very long path: window,
  # label and buttons as the layout rules give them for the measured text.
  # Answered No (the file is kept), with the close box (0: overwritten) and
  # Yes to all. Under the Chinese and an English system code page: the box is
  # sized for the message as its label shows it, whatever the code page.
  local loc tag prefix case dir answer name
  for loc in zh_CN.UTF-8 en_US.UTF-8; do
    tag=ask; [ $loc = en_US.UTF-8 ] && tag=ask-en
    prefix=$(prefix_for $loc)
    for case in short long capped; do
      name=$tag-$case
      case $case in
        short) dir='C:\Q'; answer="click text-file=texts/no" ;;
        long) dir='C:\A long folder name for the question box'; answer="close" ;;
        capped) dir='C:\Very long folder name that goes on and on past the width of the screen so that the box would be wider than the display\and one more level of folders with a long name as well'
          answer="click text-file=texts/all" ;;
      esac
      printf '%s' "$dir" > "$work/$name.dir"
      local unix="$prefix/drive_c/${dir:3}"; unix=${unix//\\//}
      rm -rf "$unix"; mkdir -p "$unix"; printf 'old contents' > "$unix/app.exe"
      { cat <<SCRIPT
start cmd="setup-ask.exe"
wait-window title-file=texts/title-ask timeout=90000
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
SCRIPT
        type_directory "$name.dir"
        cat <<SCRIPT
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
click text-file=texts/next
wait-window title-file=texts/ask timeout=60000
read-text id=$question_label
read-layout
measure-text id=$question_label
screenshot file=question-$name.bmp
$answer
SCRIPT
        finish_after_registration E2E询问; } > "$work/$name.txt"
      run_script "$name" $loc
      check "$name: exits 0" [ "$(exit_code "$name")" = 0 ]
      check "$name: the question names the file" log_has "$name" "text=文件 ${dir//\\/\\\\}\\\\app.exe 已经存在。\\r\\n是否覆盖？"
      local problems
      problems=$(question_layout_ok "$name" "$case") || fail "$name: layout: $problems"
      check "$name: screenshot" picture_shows_something "$work/question-$name.bmp"
      if [ $case = short ]; then
        check "$name: No kept the file" [ "$(cat "$unix/app.exe")" = "old contents" ]
      else
        check "$name: overwritten" same_file "$product/app.exe" "$unix/app.exe"
      fi
    done
    local widths
    widths=$(for case in short long capped; do sed -n 's/^window=[0-9-]* [0-9-]* \([0-9]*\) .*/\1/p' "$work/$tag-$case.log"; done)
    check "$loc: the box widens with the text" ascending $widths
  done
}

scenario_in_place_update_subfolder() {
  # The main program in a subfolder, the setup started from the install
  # directory (a path with spaces): the new main program is written as
  # bin\app.exe.dat and never asked about, and the batch file named by
  # relative, quoted names swaps it in after the setup ends, then deletes
  # itself. "Start after exit" is ticked: the setup, not the batch, starts the
  # new main program (the probe, which reports its own file's size) once the
  # swap is done.
  local prefix; prefix=$(prefix_for zh_CN.UTF-8)
  local dir="$prefix/drive_c/Program Files/E2E 子目录"
  local v1=$work/product-sub v2=$work/product-sub-v2
  rm -rf "$v1" "$v2" "$dir"
  mkdir -p "$v1/bin" "$dir"
  cp "$build/tests/libs/shell/shell_probe.exe" "$v1/bin/app.exe"
  printf 'sub readme\r\n' > "$v1/readme.txt"
  cp "$app" "$v1/uninst.exe"
  cp -r "$v1" "$v2"
  printf 'VERSION-2' >> "$v2/bin/app.exe"
  cp -r "$v1/." "$dir/"
  "$mksetup" --quiet --stub "$stub" -o "$dir/setup.exe" --name "E2E子目录" --version 2.1 \
    --install-dir 'C:\Program Files\E2E 子目录\' --main 'bin\app.exe' --welcome "$work/welcome.jpg" \
    --banner "$work/banner.jpg" --dir "$v2" || { fail "packing"; return; }
  local win='C:\\Program Files\\E2E 子目录'
  { cat <<SCRIPT
start cmd="\"$win\\setup.exe\""
wait-window title-file=texts/title-sub timeout=90000
click text-file=texts/next
wait-window text-file=texts/dir timeout=30000
click text-file=texts/next
wait-window text-file=texts/ready timeout=30000
click text-file=texts/next
wait-window title-file=texts/ask timeout=60000
read-text id=$question_label
click text-file=texts/yes
wait-gone timeout=30000
wait-window title-file=texts/ask timeout=60000
read-text id=$question_label
click text-file=texts/yes
wait-window text-file=texts/done timeout=60000
wait-file path="%USERPROFILE%\\Desktop\\E2E子目录.lnk" timeout=60000
stat path="$win\\bin\\app.exe.dat"
stat path="$win\\bin\\app.exe"
stat path="$win\\cmmwj.bat"
watch-file path="%TEMP%\\*\\cmmwj.bat"
click text-file=texts/runafter
click text-file=texts/finish
wait-exit timeout=30000
watched timeout=30000
wait-file path="$win\\bin\\app.exe.dat" gone=1 timeout=60000
SCRIPT
  } > "$work/inplace-sub.txt"
  run_script inplace-sub
  check "in-place run exits 0" [ "$(exit_code inplace-sub)" = 0 ]
  check "asked for readme.txt" log_has inplace-sub 'text=文件 C:\\Program Files\\E2E 子目录\\readme.txt 已经存在。'
  check "asked for uninst.exe" log_has inplace-sub 'text=文件 C:\\Program Files\\E2E 子目录\\uninst.exe 已经存在。'
  check "not asked for the main program" bash -c "! grep -qF 'bin\\\\app.exe 已经存在' '$work/inplace-sub.log'"
  check "the new main program written aside, the old one in place, no batch yet" \
    diff <(grep '^stat=' "$work/inplace-sub.log") \
    <(printf 'stat=size %s\nstat=size %s\nstat=missing\n' "$(stat -c %s "$v2/bin/app.exe")" "$(stat -c %s "$v1/bin/app.exe")")
  check "the batch file's lines" log_has inplace-sub \
    'file=Taskkill /f /im "app.exe"\r\ndel "bin\\app.exe"\r\nren "bin\\app.exe.dat" "app.exe"\r\nDel %0'
  check "new main program swapped in" same_file "$v2/bin/app.exe" "$dir/bin/app.exe"
  check "no .dat file left" test ! -e "$dir/bin/app.exe.dat"
  check "no batch file in the install directory" test ! -e "$dir/cmmwj.bat"
  for i in $(seq 1 40); do no_batch_folder "$prefix" && break; sleep 0.5; done
  check "the batch deleted itself and its folder" no_batch_folder "$prefix"
  for i in $(seq 1 40); do [ -f "$dir/probe-report" ] && break; sleep 0.5; done
  check "the new main program was started after the swap" \
    [ "$(sed -n 4p "$dir/probe-report" 2>/dev/null)" = "$(stat -c %s "$v2/bin/app.exe")" ]
  check "uninst.ini lists the main program" grep -qx '1=C:\\Program Files\\E2E 子目录\\bin\\app.exe' \
    <<<"$(iconv -f GBK -t UTF-8 "$dir/uninst.ini" | tr -d '\r')"
}

# ---- Display scale ----

# A prefix of the Chinese locale whose display has the given density: the
# one the other scenarios use, copied once, with the desktop's LogPixels set
# (Wine reads it from the user's "Control Panel\Desktop" key).
dpi_prefix() { # dpi
  local p=$work/prefix-dpi$1 try
  # Kept only once the density is seen in the saved registry: on a busy
  # machine the reg command can fail and leave a 96 DPI prefix behind, which
  # later runs would keep using.
  local want
  want=$(printf '"LogPixels"=dword:%08x' "$1")
  for try in 1 2 3; do
    grep -qF "$want" "$p/user.reg" 2>/dev/null && break
    rm -rf "$p"
    cp -a "$(prefix_for zh_CN.UTF-8)" "$p"
    WINEPREFIX=$p LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$loader" reg add 'HKCU\Control Panel\Desktop' \
      /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    WINEPREFIX=$p /usr/lib/wine/wineserver -w
  done
  grep -qF "$want" "$p/user.reg" 2>/dev/null || echo "e2e: could not set $1 DPI in $p" >&2
  echo "$p"
}

# Each page read at one density: its layout (every unit, those inside the
# picture box too), the size its labels' texts need in the default font and
# in the banner titles' bold font, and a screenshot.
dpi_page() { # page name, dpi
  cat <<SCRIPT
stamp name=$1
read-layout all=1
measure-fit
measure-fit font-file=texts/font-title-$2 as=title
screenshot file=dpi$2-$1.bmp
SCRIPT
}

# 24-bit BMP pictures (no JPEG noise between colours): the welcome picture a
# light colour with blue and orange stripes, 2 pixels each, where no text
# lies over it; the banner the light colour.
dpi_pictures() {
  python3 - "$work" <<'PY'
import struct, sys
def bmp(path, w, h, colour_at):
    stride = (w * 3 + 3) & ~3
    rows = b''.join(bytes(b for x in range(w) for b in colour_at(x, y)[::-1]) + bytes(stride - w * 3)
                    for y in reversed(range(h)))
    head = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    open(path, 'wb').write(head + info + rows)
light, orange, blue = (0xdc, 0xe8, 0xf8), (0xf0, 0xa0, 0x30), (0x20, 0x50, 0xa0)
def welcome(x, y):
    if 8 <= x < 136 and 8 <= y < 248:
        return blue if (x // 2) % 2 else orange
    return light
bmp(sys.argv[1] + '/welcome-dpi.bmp', 473, 256, welcome)
bmp(sys.argv[1] + '/banner-dpi.bmp', 473, 57, lambda x, y: light)
PY
}

# The pages at 100 %, 150 % and 200 % (96, 144 and 192 DPI): the windows and
# every unit are the 96 DPI rectangles scaled by the factor (give or take a
# pixel), each label's text fits its rectangle in the font it is drawn in,
# the pictures fill their scaled boxes and are stretched with a filter (new
# colours between the stripes of a two-colour picture), and the overwrite
# question follows its layout rules with their lengths scaled. The
# screenshots and the driver's logs are kept in the build folder's e2e-dpi.
scenario_display_scale() {
  local shots=$build/e2e-dpi dpi prefix unix problems page
  rm -rf "$shots"; mkdir -p "$shots"
  dpi_pictures
  "$mksetup" --quiet --stub "$stub" -o "$work/setup-dpi.exe" --name "E2E缩放" --version 2.1 \
    --install-dir 'C:\Program Files\E2E缩放\' --main app.exe --welcome "$work/welcome-dpi.bmp" \
    --banner "$work/banner-dpi.bmp" --dir "$product" || { fail "packing"; return; }
  printf 'E2E缩放 2.1' > "$t/title-dpi"
  for dpi in 96 144 192; do
    prefix=$(dpi_prefix $dpi)
    # The banner titles' font: 宋体, bold, 16 pixels at 96 DPI.
    printf '宋体 %d 700 134' "-$(( (16 * dpi + 48) / 96 ))" > "$t/font-title-$dpi"
    # An older app.exe in the install directory: the overwrite question.
    unix="$prefix/drive_c/Program Files/E2E缩放"
    rm -rf "$unix"; mkdir -p "$unix"; printf 'old' > "$unix/app.exe"
    { cat <<SCRIPT
start cmd="setup-dpi.exe"
wait-window title-file=texts/title-dpi timeout=90000
SCRIPT
      dpi_page welcome $dpi
      echo "click text-file=texts/next"
      echo "wait-window text-file=texts/dir timeout=30000"
      dpi_page directory $dpi
      echo "click text-file=texts/next"
      echo "wait-window text-file=texts/ready timeout=30000"
      dpi_page ready $dpi
      echo "click text-file=texts/next"
      echo "wait-window title-file=texts/ask timeout=60000"
      cat <<SCRIPT
stamp name=question
read-text id=$question_label
read-layout
measure-text id=$question_label
measure-fit
screenshot file=dpi$dpi-question.bmp
click text-file=texts/yes
wait-window text-file=texts/done timeout=60000
wait-file path="%USERPROFILE%\\Desktop\\E2E缩放.lnk" timeout=60000
SCRIPT
      dpi_page finish $dpi
      echo "click text-file=texts/finish"
      echo "wait-exit timeout=30000"; } > "$work/dpi$dpi.txt"
    run_script "dpi$dpi" zh_CN.UTF-8 "dpi$dpi"
    check "$dpi DPI: exits 0" [ "$(exit_code "dpi$dpi")" = 0 ]
    check "$dpi DPI: installed" same_file "$product/app.exe" "$unix/app.exe"
    # The question's part of the log on its own, for the layout rules.
    sed -n '/^stamp=question /,/^stamp=finish /p' "$work/dpi$dpi.log" > "$work/dpi$dpi-question.log"
    problems=$(question_layout_ok "dpi$dpi-question" any $dpi) || fail "$dpi DPI: question layout: $problems"
    for page in welcome directory ready question finish; do
      [ -f "$work/dpi$dpi-$page.bmp" ] && convert "$work/dpi$dpi-$page.bmp" "$shots/dpi$dpi-$page.png"
    done
    cp "$work/dpi$dpi.log" "$shots/"
  done
  problems=$(python3 - "$work" <<'PY'
import re, struct, sys
work = sys.argv[1]
errors = []
PAGES = ('welcome', 'directory', 'ready', 'question', 'finish')
# By page, the identifiers of the units whose text the templates word-wrap,
# and of the banner titles drawn in the bold title font; the others are one
# line in the default font.
WRAPPED = {'welcome': {130}, 'directory': {190}, 'ready': {240}, 'question': {100}, 'finish': {240}}
TITLES = {'welcome': {140}, 'directory': {210}, 'ready': {260}, 'question': set(), 'finish': {260}}
# The finish page's title "安装成功！" is five 16-pixel characters in a 71
# pixel wide label at 96 DPI already, and the label clips what reaches past
# it (its last character). The template's rectangle is kept as it is; here
# the title may only be cut as far as at 96 DPI, scaled.
CUT_AT_96 = {('finish', 260)}
WELCOME_PICTURE = 150

def read_log(dpi):
    out, name = {}, None
    for line in open('%s/dpi%d.log' % (work, dpi), encoding='utf-8').read().splitlines():
        key, _, value = line.partition('=')
        if key == 'stamp':
            name = value.split()[0]
            out[name] = {'children': {}, 'fit': {}}
        elif key == 'error':
            errors.append('%d DPI: driver: %s' % (dpi, value))
        elif name in PAGES:
            page = out[name]
            if key == 'window':
                page['window'] = [int(v) for v in value.split()[:4]]
            elif key == 'client':
                page['client'] = [int(v) for v in value.split()[:2]]
            elif key == 'child':
                p = value.split(' ', 7)
                page['children'][int(p[0])] = (p[1], int(p[2]), [int(v) for v in p[3:7]], p[7] if len(p) > 7 else '')
            elif key == 'fit':
                p = value.split()
                page['fit'][(p[0], int(p[1]))] = (p[2], [int(v) for v in p[3:9]])
    return out

def read_bmp(path):
    data = open(path, 'rb').read()
    off, = struct.unpack_from('<I', data, 10)
    w, h = struct.unpack_from('<ii', data, 18)
    stride = (w * 3 + 3) & ~3
    def px(x, y):  # from the top
        o = off + (h - 1 - y) * stride + x * 3
        return (data[o + 2], data[o + 1], data[o])
    return px

logs = {dpi: read_log(dpi) for dpi in (96, 144, 192)}

# A page's screenshot: the pixel reader and where the client area starts in
# it (the frame as wide at the bottom as at the sides).
def screenshot(dpi, name):
    gx, gy, gw, gh = logs[dpi][name]['window']
    cw, ch = logs[dpi][name]['client']
    return read_bmp('%s/dpi%d-%s.bmp' % (work, dpi, name)), (gw - cw) // 2, gh - ch - (gw - cw) // 2

# The box around the dark pixels (text) inside a unit's rectangle: x, y, w, h.
def ink_box(dpi, name, cid):
    px, ox, oy = screenshot(dpi, name)
    x0, y0, w, h = logs[dpi][name]['children'][cid][2]
    dark = [(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w) if sum(px(ox + x, oy + y)) < 300]
    if not dark:
        return None
    xs, ys = [p[0] for p in dark], [p[1] for p in dark]
    return (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)

ref = logs[96]
for dpi in (96, 144, 192):
    f = dpi / 96
    got = logs[dpi]
    for name in PAGES:
        where = '%d DPI, %s' % (dpi, name)
        g, r = got.get(name, {}), ref.get(name, {})
        if 'window' not in g or 'window' not in r:
            errors.append(where + ': not read')
            continue
        gx, gy, gw, gh = g['window']
        rx, ry, rw, rh = r['window']
        # The question box is sized for its measured message, through the
        # rules' truncations: two pixels of slack. (Its frame is the system's
        # and does not scale exactly: its client area may differ by a few.)
        slack = 2 if name == 'question' else 1
        if abs(gw - rw * f) > slack or abs(gh - rh * f) > slack:
            errors.append('%s: window %dx%d, expected %gx%g' % (where, gw, gh, rw * f, rh * f))
        if abs((gx + gw / 2) - (rx + rw / 2)) > slack or abs((gy + gh / 2) - (ry + rh / 2)) > slack:
            errors.append('%s: window at %d,%d is not centred where the 96 DPI one is' % (where, gx, gy))
        for cid, (cls, vis, rect, _) in r['children'].items():
            # The question's buttons sit by its client area's bottom and
            # centre, which the system's frame moves (checked by its rules).
            if name == 'question' and cls == 'Button':
                continue
            if cid not in g['children']:
                errors.append('%s: unit %d missing' % (where, cid))
                continue
            _, gvis, grect, _ = g['children'][cid]
            want = [v * f for v in rect]
            if gvis != vis or any(abs(a - b) > slack for a, b in zip(grect, want)):
                errors.append('%s: unit %d (%s) visible %d at %s, expected visible %d at %s' %
                              (where, cid, cls, gvis, grect, vis, [round(v, 1) for v in want]))
        # Each shown label's text fits, in the font it is drawn in: in one
        # line, or word-wrapped at its width where the template wraps it.
        for cid, (cls, vis, rect, text) in g['children'].items():
            if cls not in ('_ZR_Label', '_ZR_TransLabel') or not vis or not text:
                continue
            fit = g['fit'].get(('title' if cid in TITLES[name] else 'default', cid))
            if not fit:
                errors.append('%s: unit %d not measured' % (where, cid))
                continue
            w, h, sw, sh, ww, wh = fit[1]
            need = (ww, wh) if cid in WRAPPED[name] else (sw, sh)
            over = (need[0] - w, need[1] - h)
            if (name, cid) in CUT_AT_96:
                rw, rh, rsw, rsh = ref[name]['fit'][('title', cid)][1][:4]
                allowed = ((rsw - rw) * f + 1, max(0, rsh - rh) * f + 1)
                if over[0] > allowed[0] or over[1] > allowed[1]:
                    errors.append('%s: the text of unit %d needs %dx%d, it has %dx%d, more cut than at 96 DPI' %
                                  (where, cid, need[0], need[1], w, h))
            elif over[0] > 0 or over[1] > 0:
                errors.append('%s: the text of unit %d needs %dx%d, it has %dx%d: "%s"' % (where, cid, need[0], need[1], w, h, text))
    # The texts are drawn in fonts of the display's scale: the ink of the
    # banner titles (the templates' bold 16 pixel font) and of the welcome
    # text (the system's font) grows by the factor.
    for name, cid in (('directory', 210), ('ready', 260), ('welcome', 130)):
        ink = ink_box(dpi, name, cid)
        ink96 = ink_box(96, name, cid)
        if not ink or not ink96:
            errors.append('%d DPI, %s: no text seen in unit %d' % (dpi, name, cid))
            continue
        ratio = ink[3] / ink96[3]
        if abs(ratio - f) > 0.15 * f:
            errors.append('%d DPI, %s: the text of unit %d is %d pixels high, %d at 96 DPI' % (dpi, name, cid, ink[3], ink96[3]))
    # The welcome picture fills its scaled box and, stretched, shows colours
    # between its two.
    px, ox, oy = screenshot(dpi, 'welcome')
    box = got['welcome']['children'][WELCOME_PICTURE][2]
    corner = px(ox + box[0] + box[2] - 3, oy + box[1] + box[3] - 3)
    if corner != (0xdc, 0xe8, 0xf8):
        errors.append('%d DPI: the welcome picture does not reach the corner of its box (%s there)' % (dpi, corner))
    colours = {px(ox + x, oy + y) for x in range(round(20 * f), round(120 * f)) for y in range(round(20 * f), round(60 * f))}
    if dpi == 96 and len(colours) != 2:
        errors.append('96 DPI: the stripes show %d colours, not their 2' % len(colours))
    if dpi != 96 and len(colours) <= 2:
        errors.append('%d DPI: the stretched stripes show only their %d colours: no filter' % (dpi, len(colours)))
for e in errors:
    print(e)
sys.exit(1 if errors else 0)
PY
) || fail "display scale: $problems"
}

scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(cancel_on_welcome back_next_cancel no_shortcuts full_install overwrite_answers in_place_update unwritable_file english_locale_texts damaged_payload
  silent_install silent_directory_forms silent_unwritable silent_link_in_target silent_percent_name silent_damaged_payload silent_in_place_update silent_record_directory bad_switches log_link unquoted_program_path checksum_field
  empty_directory cancel_on_directory close_box browse_directory question_layout in_place_update_subfolder display_scale)
run_scenarios "${scenarios[@]}"
