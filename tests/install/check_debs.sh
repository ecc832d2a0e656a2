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

# ---- versions: the library's packages carry the library's followed by the
# source's, so they rise with every release even when the library's own
# version stays; the others carry the program's
program=$(sed -n 's/^project(tavelin_meters VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
library=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' "$top/library/CMakeLists.txt")
source_version=$(cd "$top" && dpkg-parsechangelog -SVersion)
check "debian/changelog names the program's version $program" matches "$source_version" "$program"
for package in libkorvane1 libkorvane-dev; do
  check "$package: version $library+$source_version" \
    package_version "$package" "$library+$source_version"
done
check "libkorvane-dev depends on the libkorvane1 of its own build" \
  matches "$(dpkg-deb -f "$(deb_of libkorvane-dev)" Depends)" "*libkorvane1 (= $library+$source_version)*"
for package in tavelin-meters korvane-sim korvane-tools korvane-mqtt korvane-web; do
  check "$package: version $program" package_version "$package" "$program"
done
check "libkorvane1: shlibs name the library's version" \
  sh -c "deb=\$(ls '$debs'/libkorvane1_*.deb) && dpkg-deb -I \"\$deb\" shlibs | grep -qxF 'libkorvane 1 libkorvane1 (>= $library)'"

# ---- the bridge's service across install, upgrade and removal: the
# package's own maintainer scripts run against stand-ins for the service
# tools, as on a machine where systemd runs
controls=$work/mqtt-control
dpkg-deb -e "$(deb_of korvane-mqtt)" "$controls"
mkdir -p "$work/fake-bin" "$work/run-systemd"
for tool in deb-systemd-invoke deb-systemd-helper systemctl; do
  # As deb-systemd-helper answers for a unit installed but never enabled.
  printf '#!/bin/sh\necho "%s $*" >>"%s"\ncase " $* " in *" was-enabled "*) exit 1 ;; esac\n' \
    "$tool" "$work/service.log" >"$work/fake-bin/$tool"
  chmod +x "$work/fake-bin/$tool"
done
service_actions() { # service_actions SCRIPT ARGS...: the starts, stops and enables it asks for
  local script=$controls/$1
  shift
  : >"$work/service.log"
  if [ -f "$script" ]; then
    sed "s|/run/systemd/system|$work/run-systemd|g" "$script" >"$work/script"
    PATH="$work/fake-bin:$PATH" sh "$work/script" "$@" </dev/null || return 1
  fi
  grep -E '^deb-systemd-invoke|^deb-systemd-helper.* enable ' "$work/service.log" | tr '\n' ';'
}
# script|arguments|what it asks for, in order
while IFS='|' read -r script arguments wanted; do
  check "korvane-mqtt: $script $arguments: ${wanted:-nothing started, stopped or enabled}" \
    eval 'matches "$(service_actions "$script" $arguments)" "$wanted"'
done <<'EOF'
preinst|install|
postinst|configure|
prerm|upgrade 9.9.9.9|
preinst|upgrade 1.0.0.0|
postinst|configure 1.0.0.0|deb-systemd-invoke try-restart korvane-mqtt.service;
prerm|remove|deb-systemd-invoke stop korvane-mqtt.service;
EOF

# ---- the shipped units: clean for systemd-analyze, the bridge's confined
unpacked=$work/unpacked
for package in korvane-mqtt tavelin-meters korvane-web; do
  dpkg-deb -x "$(deb_of "$package")" "$unpacked"
done
verify_unit() { # verify_unit [--user] UNIT: no complaint, checked against the unpacked packages
  local unit=$unpacked/${*: -1} program
  [ -f "$unit" ] || { echo "no $unit"; return 1; }
  program=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
  [ -x "$unpacked$program" ] || { echo "ExecStart=$program: not in the package"; return 1; }
  mkdir -p "$work/units" "$work/runtime"
  sed "s|^ExecStart=$program|ExecStart=$unpacked$program|" "$unit" >"$work/units/${unit##*/}"
  # verify says "ignoring" and still exits 0: any output is a failure
  XDG_RUNTIME_DIR=$work/runtime MANPATH=$unpacked/usr/share/man \
    systemd-analyze "${@:1:$#-1}" verify "$work/units/${unit##*/}" >"$work/verify.log" 2>&1
  cat "$work/verify.log"
  [ ! -s "$work/verify.log" ]
}
check "korvane-mqtt.service: systemd-analyze verify" verify_unit lib/systemd/system/korvane-mqtt.service
check "tavelin-meters.service: systemd-analyze --user verify" \
  verify_unit --user usr/lib/systemd/user/tavelin-meters.service
exposure_at_most() { # exposure_at_most LIMIT UNIT: systemd's exposure score, 0 (confined) to 10
  local score
  score=$(systemd-analyze security --offline=true "$2" 2>&1 |
    sed -n 's/^→ Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
  echo "exposure: ${score:-none}"
  [ -n "$score" ] && awk -v s="$score" -v l="$1" 'BEGIN { exit !(s <= l) }'
}
check "korvane-mqtt.service: exposure at most 2.5" \
  exposure_at_most 2.5 "$unpacked/lib/systemd/system/korvane-mqtt.service"
check "korvane-mqtt: the shipped options leave the display's port 18150 free" \
  grep -q '^KORVANE_MQTT_OPTIONS=.*--recv-port 0[ "]' "$unpacked/etc/default/korvane-mqtt"
check "korvane-web.service: systemd-analyze verify" verify_unit lib/systemd/system/korvane-web.service
check "korvane-web.service: exposure at most 2.0" \
  exposure_at_most 2.0 "$unpacked/lib/systemd/system/korvane-web.service"

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
