#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test kvtmerge (needs root or sudo).
set -euo pipefail

packages=(
    build-essential cmake ccache
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5sql5-mysql libqt5sql5-sqlite qttranslations5-l10n
    # The second build, with Qt 6 (cmake -DKVT_QT_MAJOR=6): Core5Compat for Windows-1251,
    # the state machine, lrelease (in /usr/lib/qt6/bin) and Qt's own Russian texts.
    qt6-base-dev qt6-5compat-dev qt6-scxml-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    libqt6sql6-mysql libqt6sql6-sqlite
    mariadb-server mariadb-client openssl
    galera-4 rsync iproute2   # the test cluster; its rsync state transfer looks up ports with ss
    # Every library the build links, by the package with its headers and .so link:
    # Qt (qtbase5-dev), libxlsxwriter and the zlib its xlsxwriter.pc links (-lz), which
    # libxlsxwriter-dev does not pull in by itself.
    libxlsxwriter-dev zlib1g-dev
    libmariadb-dev   # the client library's own TLS state of a connection (mysql_get_ssl_cipher)
    xvfb xauth fonts-dejavu-core
    unzip
    dpkg-dev file pkg-config
    lintian   # scripts/check-packages.sh judges the Debian packages with it
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
