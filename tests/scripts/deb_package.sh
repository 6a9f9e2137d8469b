#!/bin/bash
# The Debian package made from this build: cpack writes it (into a scratch
# folder, leaving the build tree alone), its control data names every library
# the programs link, its files lie where the README says, and the programs
# unpacked from it run.
# Usage: deb_package.sh BIN_DIR SOURCE_DIR
set -u
export LC_ALL=C
BIN=$1
BUILD=$(cd "$BIN/.." && pwd)
CONFIG=$BUILD/CPackConfig.cmake
[ -f "$CONFIG" ] || { echo "missing $CONFIG"; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps file readelf; do
  command -v "$tool" > /dev/null || { echo "missing tool: $tool (scripts/install-deps.sh)"; exit 1; }
done
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }
ok() { echo "ok   $*"; }

# The prefix the package installs under, as configured.
PREFIX=$(sed -n 's/^set(CPACK_PACKAGING_INSTALL_PREFIX "\(.*\)")$/\1/p' "$CONFIG")
[ -n "$PREFIX" ] || { echo "no install prefix in $CONFIG"; exit 1; }
P=.${PREFIX%/}

if ! (cd "$BUILD" && cpack -G DEB -B "$T/out" --config "$CONFIG") > "$T/cpack.log" 2>&1; then
  cat "$T/cpack.log"
  echo "FAIL cpack"
  exit 1
fi
grep -i "warning" "$T/cpack.log" && fail "cpack warned"
ARCH=$(dpkg --print-architecture)
VERSION=$("$BIN/halvex3-decode" --version | awk '{print $2}')
DEB=$T/out/halvex3_${VERSION}_${ARCH}.deb
[ -f "$DEB" ] || { ls "$T/out"; echo "FAIL no package named halvex3_${VERSION}_${ARCH}.deb"; exit 1; }
ok "package $(basename "$DEB")"

# Control data.
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = halvex3 ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$VERSION" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$ARCH" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = hamradio ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Description | head -1 | grep -q "weather satellites" || fail "Description: $(field Description | head -1)"
DEPENDS=$(field Depends)
echo "Depends: $DEPENDS"
has_dep() { echo "$DEPENDS" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx "$1"; }
for pkg in libc6 libstdc++6 libpulse0 libsndfile1 libsoxr0; do
  has_dep "$pkg" || fail "Depends lacks $pkg"
done
if readelf -d "$BIN/halvex3-decode" | grep -q "libmosquitto"; then
  has_dep libmosquitto1 || fail "Depends lacks libmosquitto1"
fi

# Files where the README says.
dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's:/$::' > "$T/files"
want() { grep -qx "$1" "$T/files" && ok "has $1" || fail "no $1 in the package"; }
PROGRAMS=(halvex3-decode halvex3-collect halvex3-predict halvex3-synth halvex3-sensitivity)
if [ -x "$BIN/halvex3" ]; then
  PROGRAMS+=(halvex3)
  for pkg in libwxbase3.2-1 libwxgtk3.2-1; do has_dep "$pkg" || fail "Depends lacks $pkg"; done
fi
for p in "${PROGRAMS[@]}"; do want "$P/bin/$p"; done
want "$P/share/halvex3/globe.dat"
want "$P/share/halvex3/manual/index.html"
if [ -x "$BIN/halvex3" ]; then
  want "$P/share/applications/halvex3.desktop"
  want "$P/share/icons/hicolor/48x48/apps/halvex3.png"
  want "$P/lib/systemd/user/halvex3-station.service"
fi
grep -q "test_\|bench_\|fuzz_" "$T/files" && fail "test programs in the package"

# Unpacked, the programs run, and every library they link is named in Depends:
# each directly needed library's Debian package must be a dependency.
dpkg-deb -x "$DEB" "$T/root"
OUT=$("$T/root/$P/bin/halvex3-decode" --version) && [ "$OUT" = "halvex3-decode $VERSION" ] &&
  ok "unpacked halvex3-decode --version: $OUT" || fail "unpacked halvex3-decode --version: '$OUT'"
if [ -x "$T/root/$P/bin/halvex3" ]; then
  OUT=$(env -u DISPLAY -u WAYLAND_DISPLAY "$T/root/$P/bin/halvex3" --version) &&
    ok "unpacked halvex3 --version: $OUT" || fail "unpacked halvex3 --version"
fi
for p in "${PROGRAMS[@]}"; do
  exe=$T/root/$P/bin/$p
  file "$exe" | grep -q "ELF" || { fail "$p is not a program"; continue; }
  for soname in $(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldd "$exe" | awk -v s="$soname" '$1 == s {print $3}')
    [ -n "$path" ] || { fail "$p: $soname not found"; continue; }
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null ||
            dpkg -S "${path#/usr}" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null)
    pkg=$(echo "$owner" | head -1 | cut -d: -f1)
    [ -n "$pkg" ] || { fail "$p: no package owns $path"; continue; }
    has_dep "$pkg" || fail "$p links $soname ($pkg) but Depends lacks it"
  done
done

# apt would take it: every dependency can be met here (a dry run, nothing is
# installed).
if apt-get install --simulate "$DEB" > "$T/apt" 2>&1 && grep -q "^Inst halvex3 " "$T/apt"; then
  ok "apt-get install --simulate"
else
  cat "$T/apt"; fail "apt-get install --simulate"
fi

# The user unit names the installed program and nothing systemd would ignore.
UNIT=$T/root/$P/lib/systemd/user/halvex3-station.service
if [ -f "$UNIT" ] && command -v systemd-analyze > /dev/null; then
  grep -qx "ExecStart=$PREFIX/bin/halvex3 -Embedding --start" "$UNIT" || fail "unit's ExecStart"
  mkdir -m 700 "$T/run"
  sed "s:^ExecStart=$PREFIX/:ExecStart=$T/root/$P/:" "$UNIT" > "$T/halvex3-station.service"
  if XDG_RUNTIME_DIR=$T/run systemd-analyze verify --user "$T/halvex3-station.service" > "$T/verify" 2>&1 &&
     [ ! -s "$T/verify" ]; then
    ok "systemd-analyze verify"
  else
    cat "$T/verify"; fail "systemd-analyze verify"
  fi
fi
[ "$failed" = 0 ] && ok "package checked"
exit $failed
