#!/bin/sh
# The shared library exports exactly the functions its header declares.
# usage: test_exported_symbols.sh libkorvane.so korvane.h
set -eu
lib=$1
header=$2
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRrVvi]$/ {print $3}' | sed 's/@.*//' | sort -u)
declared=$(grep -v '^ *#' "$header" | grep -o 'KORVANE_API [^(]*(' | sed 's/($//; s/.*[ *]//' | sort -u)
if [ "$exported" != "$declared" ]; then
  echo "exported but not declared:"; printf '%s\n' "$exported" | grep -vxF "$declared" || true
  echo "declared but not exported:"; printf '%s\n' "$declared" | grep -vxF "$exported" || true
  exit 1
fi
echo "$(printf '%s\n' "$exported" | wc -l) korvane_ functions exported, nothing else"
