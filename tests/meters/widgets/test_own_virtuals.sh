#!/bin/sh
# The widgets' virtual functions beyond QWidget's, read off the size of their
# virtual tables: the clocks declare none of their own, the PPM meter its
# four colour setters.
#   test_own_virtuals.sh libvxnwidgets.a libQt5Widgets.so
set -eu
widgets=$1
qt=$2

# Size in bytes of the virtual table of class $2 in file $1 (nm options in $3).
vtable_size() {
    hex=$(nm -C -S $3 "$1" | awk -v want="vtable for $2" '
        NF >= 4 && $2 != "" {
            name = $4
            for (i = 5; i <= NF; i++) name = name " " $i
            sub(/@.*/, "", name)
            if (name == want) { print $2; exit }
        }')
    [ -n "$hex" ] || { echo "no virtual table for $2 in $1" >&2; exit 1; }
    echo $((0x$hex))
}

pointer=$(( $(getconf LONG_BIT) / 8 ))
base=$(vtable_size "$qt" QWidget -D)
status=0
check() {
    own=$(( ($(vtable_size "$widgets" "$1" "") - base) / pointer ))
    if [ "$own" -ne "$2" ]; then
        echo "$1 declares $own virtual functions of its own, expected $2" >&2
        status=1
    fi
}
check VXNAnalogClock 0
check VXNDigitalClock 0
check VXNPPMMeter 4
exit $status
