#!/usr/bin/env bash
# lintian on the package: no error; warnings and notes are listed for the reader.
# Usage: lintian_test.sh BUILD
set -euo pipefail
deb=$(ls "$1"/package/vorlane_*.deb)
lintian --allow-root --fail-on error --info "$deb"
echo "lintian: no error in $deb"
