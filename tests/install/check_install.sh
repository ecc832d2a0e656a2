#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and uses it the way another
# project would: the files are where they belong, the desktop files and the
# manual pages are clean, and a small C program builds against the library
# twice (find_package and pkg-config) and gets korvane-sim's firmware text.
#   check_install.sh BUILD_DIR WORK_DIR
# Nothing is installed outside WORK_DIR.
set -euo pipefail
build=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

. "$here/checks.sh"

# ---- what is installed where
for f in lib/libkorvane.so.1.1.166 lib/libkorvane.so.1 lib/libkorvane.so include/korvane.h \
         lib/cmake/korvane/korvaneConfig.cmake lib/cmake/korvane/korvaneConfigVersion.cmake \
         lib/cmake/korvane/korvaneTargets.cmake lib/pkgconfig/korvane.pc \
         bin/tavelin-meters bin/korvane-sim bin/korvane bin/korvane-mqtt share/man/man1/korvane-mqtt.1 \
         bin/korvane-web share/man/man1/korvane-web.1 share/korvane-web/www/index.html \
         share/applications/tavelin-meters.desktop \
         share/man/man1/tavelin-meters.1 share/man/man1/korvane-sim.1 share/man/man1/korvane.1 \
         share/bash-completion/completions/korvane share/bash-completion/completions/korvane-sim \
         share/bash-completion/completions/korvane-mqtt \
         lib/wireshark/plugins/korvane.lua \
         share/doc/tavelin-meters/examples/tavelin-meters-autostart.desktop \
         lib/systemd/user/tavelin-meters.service; do
  check "installs $f" test -e "$prefix/$f"
done
png_size() { # the width and height fields of a PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}'
}
for size in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/tavelin-meters.png
  check "icon $size x $size" test "$(png_size "$icon" 2>/dev/null)" = "${size}x${size}"
done
check "soname libkorvane.so.1" sh -c "readelf -d '$prefix/lib/libkorvane.so.1.1.166' | grep -F 'Library soname: [libkorvane.so.1]'"
check "links libkorvane.so -> libkorvane.so.1 -> libkorvane.so.1.1.166" \
  test "$(readlink "$prefix/lib/libkorvane.so")/$(readlink "$prefix/lib/libkorvane.so.1")" = "libkorvane.so.1/libkorvane.so.1.1.166"
check "no private header installed" test -z "$(find "$prefix" -name 'korvane_internal.h')"
check "installed tavelin-meters finds the installed library" \
  sh -c "ldd '$prefix/bin/tavelin-meters' | grep -F '$prefix/bin/../lib/libkorvane.so.1'"

# ---- desktop integration and manual pages
check "desktop-file-validate tavelin-meters.desktop" \
  desktop-file-validate "$prefix/share/applications/tavelin-meters.desktop"
check "desktop-file-validate the autostart example" \
  desktop-file-validate "$prefix/share/doc/tavelin-meters/examples/tavelin-meters-autostart.desktop"
# verify says "ignoring" and still exits 0: any output is a failure
check "systemd-analyze --user verify tavelin-meters.service" sh -c \
  "mkdir -p '$work/runtime' && XDG_RUNTIME_DIR='$work/runtime' MANPATH='$prefix/share/man' \
     systemd-analyze --user verify '$prefix/lib/systemd/user/tavelin-meters.service' 2>&1 | (! grep .)"
check "the user unit starts the installed program" \
  grep -qx "ExecStart=$prefix/bin/tavelin-meters" "$prefix/lib/systemd/user/tavelin-meters.service"
metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
check "one AppStream file" test "${#metainfo[@]}" = 1 -a -f "${metainfo[0]}"
check "appstreamcli validate --no-net" appstreamcli validate --no-net "${metainfo[0]}"
version=$(sed -n 's/^project(tavelin_meters VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
for page in tavelin-meters korvane-sim korvane korvane-mqtt korvane-web; do
  check "man page $page.1 without warnings" sh -c \
    "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '$prefix/share/man/man1/$page.1' 2>&1 >/dev/null | (! grep .)"
  check "man page $page.1 carries version $version and a date" \
    grep -Eq "^\.TH [^ ]+ 1 \"[0-9]{4}-[0-9]{2}-[0-9]{2}\" \"$page $version\"" "$prefix/share/man/man1/$page.1"
done
rendered() { LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$prefix/share/man/man1/$1.1" 2>/dev/null; }
pastes_as_written() { rendered tavelin-meters | grep -qF "printf '[General]\ndisplay_only=true\n' \\"; }
check "tavelin-meters.1: the printf example pastes as written" pastes_as_written
indent_of() { # indent_of PAGE TEXT: the indent of the rendered line starting with TEXT
  rendered "$1" | awk -v text="$2" '{ indent = match($0, /[^ ]/) - 1 }
    indent >= 0 && index($0, text) == indent + 1 { print indent; exit }'
}
check "korvane-mqtt.1: the text after the state JSON keeps its paragraph's indent" sh -c \
  "test -n '$(indent_of korvane-mqtt "(one line).")' &&
   test '$(indent_of korvane-mqtt "(one line).")' = '$(indent_of korvane-mqtt "Retained. For every reply")'"

# ---- a program of someone else's against the installed library
# The file exists before the simulator does: the loop below may read it
# before the background job has opened it.
: >"$work/sim.out"
"$prefix/bin/korvane-sim" --listen 0 >"$work/sim.out" 2>&1 &
sim=$!
trap 'kill -TERM "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
port=
for _ in $(seq 50); do
  port=$(sed -n '1s/.* port \([0-9]*\),.*/\1/p' "$work/sim.out")
  [ -n "$port" ] && break
  sleep 0.1
done
check "installed korvane-sim starts" test -n "$port"
check "installed korvane client pings it" \
  "$prefix/bin/korvane" --send-port "$port" --recv-port 0 ping --timeout-ms 2000
check "installed korvane-mqtt names the installed library's version" sh -c \
  "'$prefix/bin/korvane-mqtt' --version | grep -qxF 'Korvane Library v1.1.166.0 - 2019-11-04 (12:05:48) - VXN'"

# The web server finds the page files installed beside it, not the sources'.
web_serves_installed_pages() {
  local port out=$work/web.err reply
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$prefix/bin/korvane-web" --listen "127.0.0.1:$port" --broker "127.0.0.1:$port" 2>"$out" &
  local web=$!
  for _ in $(seq 50); do grep -q web-listening "$out" && break; sleep 0.1; done
  reply=$(exec 3<>"/dev/tcp/127.0.0.1/$port" && printf 'GET / HTTP/1.0\r\n\r\n' >&3 && timeout 5 cat <&3) || true
  kill -TERM "$web"
  wait "$web" || true
  cat "$out"
  grep -qF "pages $prefix/bin/../share/korvane-web/www" "$out" &&
    [[ $reply == "HTTP/1.0 200"* || $reply == "HTTP/1.1 200"* ]] &&
    [[ $reply == *"$(head -n 1 "$prefix/share/korvane-web/www/index.html")"* ]]
}
check "installed korvane-web serves its installed pages" web_serves_installed_pages

expect_firmware() { # expect_firmware PROGRAM: it prints both version texts
  "$@" "$port" >"$work/consumer.out" 2>&1 || { cat "$work/consumer.out"; return 1; }
  cat "$work/consumer.out"
  grep -qxF "Korvane Library v1.1.166.0 - 2019-11-04 (12:05:48) - VXN" "$work/consumer.out" &&
    grep -qxF "firmware: VXN Korvane Firmware v3.2.7" "$work/consumer.out"
}

check "find_package(korvane 1.1): configure and build" sh -c \
  "cmake -S '$here/consumer' -B '$work/consumer-cmake' -DCMAKE_PREFIX_PATH='$prefix' &&
   cmake --build '$work/consumer-cmake'"
check "find_package(korvane 1.1): the consumer talks to korvane-sim" \
  expect_firmware "$work/consumer-cmake/korvane-consumer"
check "find_package(korvane 2.0) refuses 1.x" sh -c \
  "! cmake -S '$here/consumer' -B '$work/consumer-major' -DCMAKE_PREFIX_PATH='$prefix' -DKORVANE_WANTED=2.0"

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig # this install and nothing else
check "pkg-config --modversion korvane" test "$(pkg-config --modversion korvane)" = 1.1.166.0
check "pkg-config: build" sh -c \
  "cc -std=c11 -Wall -Wextra -Werror '$here/consumer/consumer.c' -o '$work/consumer-pc' \
      \$(pkg-config --cflags --libs korvane)"
check "pkg-config: the consumer talks to korvane-sim" \
  expect_firmware env LD_LIBRARY_PATH="$prefix/lib" "$work/consumer-pc"

# ---- a parent project that takes the library along without installing it
check "add_subdirectory(): configure and build with the parent" sh -c \
  "cmake -S '$here/parent' -B '$work/parent' -DKORVANE_SOURCE_DIR='$here/../..' \
         -DCMAKE_EXPORT_COMPILE_COMMANDS=ON &&
   cmake --build '$work/parent' --target parent-consumer"
check "add_subdirectory(): the parent installs only its own program" sh -c \
  "cmake --install '$work/parent' --prefix '$work/parent-prefix' &&
   test \"\$(cd '$work/parent-prefix' && find . -type f)\" = ./bin/parent-consumer"
check "add_subdirectory(): our warnings stay on our targets" sh -c \
  "grep -F 'consumer.c' '$work/parent/compile_commands.json' | grep '\"command\"' | (! grep -e -Wextra) &&
   grep -F 'korvane.c' '$work/parent/compile_commands.json' | grep -q -e -Wextra"

sed 's/^/        /' "$work/consumer.out"
checks_summary install
