#!/usr/bin/env bash
# Checks the Debian packages that scripts/package built: each holds what
# deb-contents.txt says, the packages carry the versions the sources give,
# and lintian finds no error. Installs nothing.
#   check_debs.sh DEB_DIR
set -euo pipefail
debs=$1
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$here/checks.sh"

deb_of() { # the one .deb of a package
  local found=("$debs/$1"_*.deb)
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] && echo "${found[0]}"
}
matches() { # matches VALUE PATTERN
  # shellcheck disable=SC2053 # the right side is a pattern on purpose
  [[ $1 == $2 ]] || { echo "is: $1"; return 1; }
}
holds() { # holds LIST PATTERN: a line of the list matches
  local path
  while read -r path; do
    # shellcheck disable=SC2053
    [[ $path == $2 ]] && echo "$path" && return 0
  done <"$1"
  return 1
}
package_version() { # package_version PACKAGE WANTED
  local deb
  deb=$(deb_of "$1") && matches "$(dpkg-deb -f "$deb" Version)" "$2"
}

# ---- contents and control fields, table-driven
while read -r package expectation; do
  case "$package" in '' | '#'*) continue ;; esac
  if ! deb=$(deb_of "$package"); then
    check "$package: one package file in $debs" false
    continue
  fi
  list=$work/$package.list
  [ -f "$list" ] || dpkg-deb -c "$deb" | awk '{print $6}' >"$list"
  case "$expectation" in
  *:\ *) # a control field, and a pattern for its value
    field=${expectation%%:*}
    check "$package: $expectation" matches "$(dpkg-deb -f "$deb" "$field")" "${expectation#*: }"
    ;;
  '!'*) check "$package: nothing matching ${expectation#!}" eval '! holds "$list" "${expectation#!}"' ;;
  *) check "$package: $expectation" holds "$list" "$expectation" ;;
  esac
done <"$here/deb-contents.txt"

# ---- versions: the library's packages carry the library's, the others the program's
program=$(sed -n 's/^project(tavelin_meters VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
library=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' "$top/library/CMakeLists.txt")
check "debian/changelog names the program's version $program" \
  matches "$(cd "$top" && dpkg-parsechangelog -SVersion)" "$program"
for package in libkorvane1 libkorvane-dev; do
  check "$package: version $library" package_version "$package" "$library"
done
for package in tavelin-meters korvane-sim korvane-tools korvane-mqtt korvane-web; do
  check "$package: version $program" package_version "$package" "$program"
done
check "libkorvane1: shlibs name the library's version" \
  sh -c "deb=\$(ls '$debs'/libkorvane1_*.deb) && dpkg-deb -I \"\$deb\" shlibs | grep -qxF 'libkorvane 1 libkorvane1 (>= $library)'"

# ---- the web server's service: clean for systemd and well confined. verify
# looks for the program, so it reads a root holding the package's files and
# this machine's units.
verify_unit() { # verify_unit PACKAGE
  local root=$work/root-$1
  mkdir -p "$root/lib/systemd"
  cp -a /lib/systemd/system "$root/lib/systemd/"
  dpkg-deb -x "$(deb_of "$1")" "$root"
  systemd-analyze verify --root="$root" --man=no "$root/lib/systemd/system/$1.service"
}
exposure_below() { # exposure_below PACKAGE MAX: systemd's exposure score of its unit
  local deb score
  deb=$(deb_of "$1")
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./lib/systemd/system/$1.service" >"$work/$1.service"
  score=$(systemd-analyze security --offline=true "$work/$1.service" 2>/dev/null |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
  echo "exposure $score"
  [ -n "$score" ] && awk -v s="$score" -v m="$2" 'BEGIN { exit !(s <= m) }'
}
check "korvane-web.service: systemd-analyze verify is clean" verify_unit korvane-web
check "korvane-web.service: exposure at most 2.0" exposure_below korvane-web 2.0

# ---- the README's install line takes every package but the debug symbols
readme_installs() {
  local line
  line=$(grep -o 'apt install \./build-deb/[^`]*' "$top/README.md" | head -n 1)
  [ -n "$line" ] || { echo "no 'apt install ./build-deb/...' line in README.md"; return 1; }
  diff <(cd "$debs" && eval "ls -1 ${line#apt install ./build-deb/}" | sort) \
    <(cd "$debs" && ls -1 -- *.deb | grep -v -- '-dbgsym_' | sort)
}
check "README's install line installs every package but the -dbgsym ones" readme_installs

# ---- lintian: errors fail, the rest is shown
changes=("$debs"/*.changes)
check "lintian finds no error" lintian --fail-on error --display-info "${changes[0]}"
sed 's/^/        /' "$work/check.log"

checks_summary package
