#!/bin/bash
# Builds the Debian package in a build of its own (installed under /usr, as
# a package is), then checks it: lintian reports no error, the files lie
# where an administrator looks for them, and the boot unit verifies.
set -euo pipefail
src=$1
parent=$2
build=$parent/package-build
for tool in cpack lintian dpkg-deb systemd-analyze help2man; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

mkdir -p "$build"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_INSTALL_PREFIX=/usr >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" --target tarvik tarvikctl tarvik-reg tarvik-devsim \
  vonderil-driver tarvik-man tarvik-changelog >"$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }
rm -f "$build"/tarvik_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/tarvik_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

fail=0
lintian --fail-on error --tag-display-limit 0 "$deb" >"$build/lintian.log" 2>&1 || fail=1
cat "$build/lintian.log"
if [ $fail -ne 0 ] || grep -q '^E: ' "$build/lintian.log"; then
  echo "FAIL: lintian reports errors"
  exit 1
fi

# Dependencies come from the binaries (dpkg-shlibdeps), so Qt and SQLite
# must be among them without anyone listing them.
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6widgets6 libsqlite3-0 libc6; do
  grep -q "$lib" <<<"$depends" || { echo "FAIL: Depends lacks $lib: $depends"; exit 1; }
done

tree=$build/unpacked
rm -rf "$tree"
dpkg-deb -x "$deb" "$tree"
for f in usr/bin/tarvik usr/bin/tarvikctl usr/bin/tarvik-reg usr/bin/tarvik-devsim \
         usr/libexec/tarvik/Vonderil.sys usr/include/tarvik/tarvikcfg.h usr/include/tarvik/findra.h \
         usr/include/tarvik/tkcenc2.h usr/share/applications/tarvik.desktop \
         usr/share/icons/hicolor/scalable/apps/tarvik.svg \
         usr/share/polkit-1/actions/org.tarvik.utility.policy usr/lib/systemd/system/tarvik.service \
         usr/share/man/man1/tarvik.1.gz usr/share/man/man1/tarvikctl.1.gz \
         usr/share/man/man1/tarvik-reg.1.gz usr/share/man/man1/tarvik-devsim.1.gz; do
  [ -e "$tree/$f" ] || { echo "FAIL: the package lacks /$f"; exit 1; }
done
for lib in libtarvikcfg libfindra libtkcenc2 libtarvik-platform; do
  so=$(ls "$tree"/usr/lib/*/"$lib".so.* 2>/dev/null | head -1)
  [ -n "$so" ] || { echo "FAIL: the package lacks $lib"; exit 1; }
  objdump -p "$so" | grep -q "SONAME *$lib.so.2" || { echo "FAIL: $so has no SONAME $lib.so.2"; exit 1; }
done
zcat "$tree/usr/share/man/man1/tarvikctl.1.gz" | grep -q 'status 26\|^26' ||
  { echo "FAIL: the tarvikctl man page does not list the status codes"; exit 1; }

# The unit as installed, with its programs where this tree holds them.
unit_dir=$build/unit
rm -rf "$unit_dir" && mkdir -p "$unit_dir"
sed "s|/usr/bin/|$tree/usr/bin/|g" "$tree/usr/lib/systemd/system/tarvik.service" >"$unit_dir/tarvik.service"
systemd-analyze verify "$unit_dir/tarvik.service" 2>&1 | tee "$build/verify.log"
if grep -qi 'tarvik.service' "$build/verify.log"; then
  echo "FAIL: the boot unit does not verify"
  exit 1
fi
echo "package checks passed"
