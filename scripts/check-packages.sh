#!/usr/bin/env bash
# Checks the Debian packages as Debian, a user and a developer would use them: builds
# them with make-packages.sh, judges them with lintian (any error fails; a warning fails
# unless the README names it among the warnings left), unpacks them into a temporary
# folder with dpkg-deb -x, starts the program there from another folder (--version,
# --help, and the window without a display, which must install its Russian translation
# from share/kvtmerge and log in the per-user folder), and builds and runs the example
# consumer (examples/pelmora0-consumer) against the unpacked -dev package and against a
# fresh install prefix. Exits non-zero on the first failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVT_BUILD_DIR:-$root/build-deb}
work=$(mktemp -d /tmp/kvt-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-packages: $*" >&2; exit 1; }
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

KVT_BUILD_DIR=$build "$root/scripts/make-packages.sh" "$work/debs" >"$work/make.log" 2>&1 \
    || { tail -40 "$work/make.log" >&2; fail "building the packages failed"; }

version=$(sed -n 's/^project(kvtmerge VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg --print-architecture)
unpacked=$work/root
for package in libpelmora0 libpelmora0-dev kvtmerge; do
    deb=$work/debs/${package}_${version}_${arch}.deb
    [ -f "$deb" ] || fail "missing $(basename "$deb"); built: $(ls "$work/debs")"
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb is not $package"
    dpkg-deb -x "$deb" "$unpacked"
done
depends() { dpkg-deb -f "$work/debs/${1}_${version}_${arch}.deb" Depends; }
has() { [[ $1 == *"$2"* ]]; } # <text> <part>: no grep -q in a pipe under pipefail
has "$(depends kvtmerge)" "libpelmora0 (= $version)" || fail "kvtmerge does not depend on libpelmora0"
has "$(depends kvtmerge)" "libqt5widgets5" || fail "kvtmerge lacks the Qt dependencies"
has "$(depends libpelmora0)" "libxlsxwriter" || fail "libpelmora0 lacks the libxlsxwriter dependency"
has "$(depends libpelmora0-dev)" "libpelmora0 (= $version)" || fail "libpelmora0-dev does not depend on libpelmora0"

# lintian: no error; every warning it leaves is named, with its reason, in the README.
lintian --fail-on none --no-tag-display-limit "$work"/debs/*.deb >"$work/lintian.log" 2>&1 \
    || { cat "$work/lintian.log" >&2; fail "lintian could not check the packages"; }
if grep -q '^E: ' "$work/lintian.log"; then
    grep '^E: ' "$work/lintian.log" >&2
    fail "lintian reports errors"
fi
while read -r tag; do
    grep -qF "\`$tag\`" "$root/README.md" \
        || { grep "^W: .* $tag" "$work/lintian.log" >&2; fail "lintian warning $tag is not explained in the README"; }
done < <(sed -n 's/^W: [^:]*: \([^ ]*\).*/\1/p' "$work/lintian.log" | sort -u)

# The library registered with the dynamic linker, for dependants compatible within the soname.
control() { dpkg-deb -I "$work/debs/${1}_${version}_${arch}.deb" "$2" 2>/dev/null || true; }
[ "$(control libpelmora0 shlibs)" = "libPelmora0 0 libpelmora0 (>= $version)" ] \
    || fail "libpelmora0's shlibs are '$(control libpelmora0 shlibs)'"
has "$(control libpelmora0 triggers)" "activate-noawait ldconfig" || fail "libpelmora0 lacks the ldconfig trigger"

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for file in usr/bin/kvtmerge usr/share/kvtmerge/res/appIcon.ico \
            usr/share/kvtmerge/translations/kvtMergeDB_ru.qm usr/share/applications/kvtmerge.desktop \
            usr/share/icons/hicolor/256x256/apps/kvtmerge.png \
            usr/share/man/man1/kvtmerge.1.gz "usr/lib/$multiarch/libPelmora0.so.0" \
            usr/include/Pelmora0/PSqlService.h "usr/lib/$multiarch/pkgconfig/pelmora0.pc" \
            "usr/lib/$multiarch/cmake/Pelmora0/Pelmora0Config.cmake"; do
    [ -e "$unpacked/$file" ] || fail "the packages lack /$file"
done
for package in libpelmora0 libpelmora0-dev kvtmerge; do
    for file in copyright changelog.gz; do
        [ -f "$unpacked/usr/share/doc/$package/$file" ] || fail "$package lacks /usr/share/doc/$package/$file"
    done
done
[ ! -e "$unpacked/opt" ] || fail "the packages install below /opt: $(cd "$unpacked" && find opt | head -5)"
grep -qx 'Exec="/usr/bin/kvtmerge"' "$unpacked/usr/share/applications/kvtmerge.desktop" \
    || fail "the desktop entry does not start /usr/bin/kvtmerge"

# The program from another folder, without a display: --version, --help.
program=$unpacked/usr/bin/kvtmerge
shown=$(cd "$work" && "$program" --version) || fail "kvtmerge --version failed"
[ "$shown" = "kvtmerge $version" ] || fail "kvtmerge --version printed '$shown'"
has "$(cd "$work" && "$program" --help)" "--batch" || fail "kvtmerge --help does not describe --batch"
has "$(readelf -d "$program")" "Library runpath: [\$ORIGIN/../lib/$multiarch]" \
    || fail "kvtmerge's RUNPATH is not \$ORIGIN/../lib/$multiarch"
has "$(ldd "$program")" "$unpacked/usr/bin/../lib/$multiarch/libPelmora0.so.0" \
    || fail "kvtmerge does not load the library beside it"

# The window in Russian: its log (the per-user folder, never usr/bin/log) names the
# translation it installed, in Russian.
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
(cd "$work" && exec env LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 QT_QPA_PLATFORM=offscreen "$program" \
    >"$work/window.log" 2>&1) &
window=$!
installed="\"$unpacked/usr/share/kvtmerge/translations/kvtMergeDB_ru.qm\" \" подключён\""
found=
for _ in $(seq 1 60); do
    logged=$(cat "$XDG_DATA_HOME"/kvtMergeDB/log/*.txt 2>/dev/null | iconv -f CP1251 -t UTF-8 || true)
    if has "$logged" "$installed"; then
        found=1
        break
    fi
    kill -0 "$window" 2>/dev/null || break
    sleep 0.5
done
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
[ -n "$found" ] || { cat "$work/window.log" "$XDG_DATA_HOME"/kvtMergeDB/log/*.txt >&2 2>/dev/null || true
                     fail "the window did not install its Russian translation from /usr/share/kvtmerge"; }
[ ! -e "$unpacked/usr/bin/log" ] || fail "the program wrote its log beside itself in usr/bin"

# Every installed header compiles with pkg-config's flags, and an older standard is
# refused at compile time instead of failing at link time.
export PKG_CONFIG_PATH=$unpacked/usr/lib/$multiarch/pkgconfig
(cd "$unpacked/usr/include/Pelmora0" && printf '#include "%s"\n' *.h) >"$work/headers.cpp"
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC -fsyntax-only $(pkg-config --cflags pelmora0) "$work/headers.cpp" \
    || fail "the installed headers do not compile"
# shellcheck disable=SC2046
if g++ -std=c++14 -fPIC -fsyntax-only $(pkg-config --cflags pelmora0) "$work/headers.cpp" \
        2>"$work/cxx14.log"; then
    fail "the headers compile as C++14"
fi
grep -q "Pelmora0 needs C++17" "$work/cxx14.log" || fail "C++14 is not refused by name"

# The consumer, asking for C++14: the imported target raises it to C++17.
consume() { # <name> <prefix>
    local dir=$work/consumer-$1
    cmake -S "$root/examples/pelmora0-consumer" -B "$dir" -DCMAKE_PREFIX_PATH="$2" \
        -DCMAKE_CXX_STANDARD=14 -DCMAKE_BUILD_TYPE=Release >"$dir.log" 2>&1 \
        && cmake --build "$dir" -j2 >>"$dir.log" 2>&1 \
        || { tail -30 "$dir.log" >&2; fail "the consumer does not build against $1"; }
    grep -q "^Pelmora0_DIR:PATH=$2/" "$dir/CMakeCache.txt" || fail "the consumer found another Pelmora0"
    local line
    line=$(cd "$work" && QT_QPA_PLATFORM=offscreen "$dir/pelmora0_consumer" "$1.csv") \
        || fail "the consumer built against $1 failed"
    [ "$line" = "$(cd "$work" && md5sum "$1.csv")" ] || fail "digest '$line' is not md5sum's"
    [ "$(cat "$work/$1.csv")" = $'Part;Count;\n"Axle";"2"\n"Wheel";"4"' ] \
        || fail "the consumer's CSV from $1 is wrong: $(cat "$work/$1.csv")"
}
consume package "$unpacked/usr"

# The same build installed with cmake into a fresh prefix: the library and the SDK.
for component in runtime dev; do
    cmake --install "$build" --prefix "$work/prefix" --component "$component" >/dev/null
done
consume prefix "$work/prefix/usr"

echo "check-packages: 3 packages, program and SDK work (version $version)"
