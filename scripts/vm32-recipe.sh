# The test machine's disk image, sourced by scripts/vm32. Everything that
# decides what the image holds lives in this file, and the image's cache key
# is a hash of it: a change here builds a new image, a change to how
# scripts/vm32 boots or runs commands does not.
#
# The image is Debian (the host's release, so that the host-built sanitized
# tools find the same libraries inside) with its own kernel, which runs
# 32-bit code, and 32-bit Wine. Built in three steps:
#   1. debootstrap + apt-get in a chroot, in a private mount namespace so no
#      bind mount can outlive the build;
#   2. mke2fs -d from that folder, a few GB left free for the test overlay;
#   3. one boot of the new image, writable, that does what needs 32-bit code
#      to run: the prepared Wine prefixes and the 32-bit caches whose
#      post-install helpers could not run in the chroot.

# What the tests use inside: Wine (32-bit only: wine64 is not needed), an X
# server, fonts that show Chinese, the two locales, the tools of the
# end-to-end scripts, and the sanitizer runtimes of the host build.
vm32_packages=(linux-image-amd64 kmod zstd iproute2 procps psmisc
  wine wine32:i386 xvfb xauth x11-utils fonts-wqy-zenhei fonts-arphic-uming locales
  python3 imagemagick diffutils file xxd
  libasan8 libubsan1 libpng16-16 libjpeg62-turbo zlib1g)

# Commands the prepare boot checks for: a missing one fails the build.
vm32_tools=(bash python3 iconv od cmp diff timeout xvfb-run Xvfb xauth mcookie
  xwininfo convert identify import sed grep find awk flock
  stat sha256sum head tail tr cut sort wc mktemp realpath file modprobe
  wine wineserver)

vm32_free_mb=4096 # room for the -snapshot overlay's writes: prefixes, work folders

vm32_log() { printf '[vm32] %s\n' "$*" >&2; }

# The host's Debian mirror for SUITE and the security one ("" if none), from
# its apt sources: the only network this machine has.
vm32_mirrors() { # suite -> "main-uri security-uri"
  local suite=$1 main="" sec=""
  main=$(vm32_uri_for "$suite") || true
  sec=$(vm32_uri_for "$suite-security") || true
  echo "${main:-http://deb.debian.org/debian} ${sec:-}"
}
vm32_uri_for() { # suite: first URI whose entry lists it (deb822 or one-line)
  python3 - "$1" <<'PY'
import glob, sys
suite = sys.argv[1]
files = glob.glob('/etc/apt/sources.list.d/*.sources')
for f in sorted(files):
    for stanza in open(f, encoding='utf-8', errors='replace').read().split('\n\n'):
        fields = {}
        for line in stanza.splitlines():
            if line.startswith('#') or ':' not in line or line[:1].isspace():
                continue
            k, v = line.split(':', 1)
            fields[k.strip().lower()] = v.split()
        if 'deb' in fields.get('types', []) and suite in fields.get('suites', []) \
                and fields.get('enabled', ['yes'])[0] != 'no' and fields.get('uris'):
            print(fields['uris'][0]); sys.exit(0)
for f in ['/etc/apt/sources.list'] + sorted(glob.glob('/etc/apt/sources.list.d/*.list')):
    try:
        lines = open(f, encoding='utf-8', errors='replace').read().splitlines()
    except OSError:
        continue
    for line in lines:
        line = line.split('#', 1)[0]
        if '[' in line and ']' in line:  # options: deb [arch=...] uri suite
            line = line[:line.index('[')] + line[line.index(']') + 1:]
        w = line.split()
        if len(w) >= 3 and w[0] == 'deb':
            if w[2] == suite:
                print(w[1]); sys.exit(0)
sys.exit(1)
PY
}

# Step 1: the root folder. $1 = folder to fill (created), $2 = suite,
# $3 = folder of .deb files kept between builds (hard-linked in and out, so a
# changed recipe does not download everything again).
vm32_build_rootfs() {
  local root=$1 suite=$2 debs=$3 mirrors main sec
  mirrors=$(vm32_mirrors "$suite"); main=${mirrors%% *}; sec=${mirrors#* }
  vm32_log "debootstrap $suite from $main"
  mkdir -p "$root" "$debs"
  # A private mount namespace: debootstrap's and our own mounts of proc, sys
  # and dev inside the folder end with it, whatever happens to this script.
  unshare --mount --propagation private -- bash -euo pipefail -c '
    root=$1; suite=$2; main=$3; sec=$4; debs=$5; shift 5
    debootstrap --variant=minbase --arch=amd64 "$suite" "$root" "$main" >"$root.debootstrap.log" 2>&1 \
      || { tail -n 30 "$root.debootstrap.log" >&2; exit 1; }
    # No daemon starts from a maintainer script in here.
    printf "#!/bin/sh\nexit 101\n" >"$root/usr/sbin/policy-rc.d"; chmod 755 "$root/usr/sbin/policy-rc.d"
    # The image is thrown away on any failure: no fsync per file.
    echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/vm32-unsafe-io"
    cat >"$root/etc/dpkg/dpkg.cfg.d/vm32-no-docs" <<EOF
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
EOF
    {
      echo "deb $main $suite main"
      echo "deb $main $suite-updates main"
      [ -z "$sec" ] || echo "deb $sec $suite-security main"
    } >"$root/etc/apt/sources.list"
    # The host mirror may be a dated snapshot whose Release files have expired.
    echo "Acquire::Check-Valid-Until \"false\";" >"$root/etc/apt/apt.conf.d/99vm32-snapshot"
    apt-config dump 2>/dev/null | grep -i "::proxy" >"$root/etc/apt/apt.conf.d/98vm32-proxy" || true
    cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
    in_root dpkg --add-architecture i386
    # A mirror caught mid-sync fails an index or two: try again, then go on
    # with what arrived.
    in_root apt-get update -qq || { sleep 30; in_root apt-get update -qq; } || echo "[vm32] apt-get update failed; going on" >&2
    find "$debs" -maxdepth 1 -name "*.deb" -exec cp -l -t "$root/var/cache/apt/archives/" {} + 2>/dev/null || true
    # Two i386 post-install helpers (the pixbuf loader and GIO module caches)
    # fail with "Exec format error" on a host without 32-bit support; their
    # scripts ignore that, and the prepare boot runs them for real.
    # The i386 packages must match the amd64 ones version for version: a
    # mirror that lacks the i386 index of the security suite (seen on a stale
    # cache) offers security updates for amd64 only, and nothing installs.
    # The guest is a throwaway test machine: then that suite goes, and the
    # versions of the release itself, the same on both, are installed.
    if ! in_root apt-get install -y -q --no-install-recommends "$@" >"$root.apt.log" 2>&1; then
      [ -n "$sec" ] || { tail -n 40 "$root.apt.log" >&2; exit 1; }
      echo "[vm32] the install failed with the security suite; trying without it" >&2
      tail -n 5 "$root.apt.log" | sed "s/^/[vm32]   /" >&2
      sed -i "/$suite-security/d" "$root/etc/apt/sources.list"
      in_root apt-get update -qq || echo "[vm32] apt-get update failed; going on" >&2
      in_root apt-get install -y -q --no-install-recommends "$@" >"$root.apt.log" 2>&1 \
        || { tail -n 40 "$root.apt.log" >&2; exit 1; }
    fi
    grep -i "exec format error" "$root.apt.log" | sort -u | sed "s/^/[vm32] chroot (expected): /" >&2 || true
    # Keep the downloads for the next build; the image holds none.
    find "$debs" -maxdepth 1 -name "*.deb" -delete
    find "$root/var/cache/apt/archives" -maxdepth 1 -name "*.deb" -exec cp -l -t "$debs/" {} +
    # The initrd holds only what mounts the root disk: with every module
    # (the default) it is 35 MB, and unpacking it and probing for hardware
    # under emulation took seconds of every boot.
    printf "MODULES=list\nCOMPRESS=zstd\n" >"$root/etc/initramfs-tools/conf.d/vm32"
    printf "%s\n" virtio_pci virtio_blk ext4 crc32c_generic >>"$root/etc/initramfs-tools/modules"
    in_root update-initramfs -u -k all >>"$root.apt.log" 2>&1
    in_root apt-get clean
    rm -rf "$root"/var/lib/apt/lists/*_Packages "$root"/var/lib/apt/lists/*_Translation-*
  ' vm32-rootfs "$root" "$suite" "$main" "$sec" "$debs" "${vm32_packages[@]}"
  vm32_configure_rootfs "$root"
}

# Files of the guest: locales, names, the first program (PID 1).
vm32_configure_rootfs() {
  local root=$1
  sed -i -E 's/^# *((zh_CN|en_US)\.UTF-8 UTF-8)/\1/' "$root/etc/locale.gen"
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin locale-gen >/dev/null
  echo vm32 >"$root/etc/hostname"
  # Without the machine's own name here Wine waits on name lookups that
  # cannot succeed (starts several times slower).
  printf '127.0.0.1\tlocalhost\n127.0.1.1\tvm32\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
  rm -f "$root/etc/resolv.conf" "$root/usr/sbin/policy-rc.d" "$root/etc/apt/apt.conf.d/98vm32-proxy"
  : >"$root/etc/fstab"
  mkdir -p "$root/var/lib/vm32" "$root/run/vm32ctl"
  chmod 1777 "$root/tmp"
  cat >"$root/sbin/vm32-init" <<'EOF'
#!/bin/bash
# PID 1 of the test machine: mounts the kernel's file systems and the host's
# control share, runs the host's script from it, and powers off. The share
# decides what a boot does, so the image need not change for a new command.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
off() {
  sync
  umount -a -t 9p 2>/dev/null
  mount -o remount,ro / 2>/dev/null
  # Power off without the kernel's farewell lines on the console (the reboot
  # system call, 169 on x86-64); the sysrq key when that fails.
  echo 0 >/proc/sys/kernel/printk
  perl -e 'syscall(169, 0xfee1dead, 672274793, 0x4321fedc, 0)' 2>/dev/null
  echo o >/proc/sysrq-trigger
  sleep 30
}
trap off EXIT
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mountpoint -q /dev/pts || mount -t devpts devpts /dev/pts
mountpoint -q /dev/shm || mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mountpoint -q /run || mount -t tmpfs -o mode=755 tmpfs /run
mkdir -p /run/vm32ctl /run/lock
hostname vm32
ip link set lo up 2>/dev/null
stty -F /dev/console -onlcr 2>/dev/null
modprobe -a 9pnet_virtio 9p || echo "vm32-init: no 9p modules" >&2
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 vm32ctl /run/vm32ctl; then
  bash /run/vm32ctl/guest.sh
else
  echo "vm32-init: the control share did not mount" >&2
fi
EOF
  chmod 755 "$root/sbin/vm32-init"
}

# Step 3, run by bash inside the first boot of the new image (writable):
# what needs 32-bit code. Writes "ok" to the control share's result file only
# when all of it worked.
vm32_prepare_script() {
  printf 'tools=(%s)\n' "${vm32_tools[*]}"
  cat <<'EOF'
set -u
ctl=/run/vm32ctl
fail() { echo "vm32 prepare: $*" >&2; exit 1; }
for t in "${tools[@]}"; do
  command -v "$t" >/dev/null || fail "missing command $t"
done
for loc in zh_CN.utf8 en_US.utf8; do locale -a | grep -qx "$loc" || fail "missing locale $loc"; done
# The 32-bit caches whose helpers failed in the chroot.
q=/usr/lib/i386-linux-gnu/gdk-pixbuf-2.0/gdk-pixbuf-query-loaders
[ -x "$q" ] && { "$q" --update-cache || echo "vm32 prepare: $q failed (ignored)" >&2; }
q=/usr/lib/i386-linux-gnu/glib-2.0/gio-querymodules
[ -x "$q" ] && { "$q" /usr/lib/i386-linux-gnu/gio/modules || echo "vm32 prepare: $q failed (ignored)" >&2; }
# The prepared prefixes, made as the end-to-end scripts make theirs: no
# Mono/Gecko prompts, no menu entries. Their home is /root, whose Desktop
# folder the prefix links to.
mkdir -p /root/Desktop
export HOME=/root WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=
for loc in zh_CN en_US; do
  p=/var/lib/vm32/prefix-$loc
  rm -rf "$p"
  t0=$(date +%s%N)
  WINEPREFIX=$p LANG=$loc.UTF-8 LC_ALL=$loc.UTF-8 wine wineboot -i >/dev/null 2>&1 || fail "wineboot -i for $loc failed"
  WINEPREFIX=$p wineserver -w
  [ -f "$p/system.reg" ] && [ -d "$p/drive_c/windows/system32" ] || fail "prefix $p incomplete"
  [ ! -d "$p/drive_c/windows/syswow64" ] || fail "prefix $p is not 32-bit"
  echo "vm32 prepare: prefix $p in $(( ($(date +%s%N) - t0) / 1000000 )) ms"
done
# Wine copies its DLLs into each prefix: link the copies to each other and to
# Wine's own files (the image shrinks by about a gigabyte). The prefixes are
# templates: a test copies one (cp -a makes new files) or lays an overlay on
# it (vm32-prefix), since a program writing into a template's DLL in place
# would change every file linked to it for the rest of that boot.
hardlink -c -O -q /usr/lib/i386-linux-gnu/wine /var/lib/vm32/prefix-zh_CN /var/lib/vm32/prefix-en_US \
  || fail "hardlink failed"
wine --version >/var/lib/vm32/wine-version
rm -rf /tmp/* /tmp/.[!.]* /root/.cache
sync
# Give the freed blocks back to the host: the image file stays sparse.
fstrim / || echo "vm32 prepare: fstrim failed (the image stays larger)" >&2
echo ok >"$ctl/result"
EOF
}
