#!/usr/bin/env bash
# Redraws the program's icons into app/gui/resources/ (their outputs are committed; the build
# does not run this). Needs g++, pkg-config and qtbase5-dev.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC -O1 -o "$tmp/make-icons" "$root/scripts/make-icons.cpp" \
    $(pkg-config --cflags --libs Qt5Gui)
QT_QPA_PLATFORM=offscreen "$tmp/make-icons" "$root/app/gui/resources"
