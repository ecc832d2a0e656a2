#!/bin/sh
# npm ci into the current folder (the build's), only when package-lock.json
# changed since the last install: a full reinstall on every test run would
# fetch the same packages again.
#   npm_install.sh NPM
set -eu
npm=$1
if [ -d node_modules ] && cmp -s package-lock.json node_modules/.installed-lock.json; then
  echo "node modules up to date"
  exit 0
fi
"$npm" ci --no-audit --no-fund --loglevel=error
cp package-lock.json node_modules/.installed-lock.json
