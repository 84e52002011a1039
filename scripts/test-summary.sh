#!/usr/bin/env bash
# One closing line for everything `make test` ran: the counts of every build's junit.xml.
set -eu
passed=0 failed=0 skipped=0
for f in "$@"; do
  [ -f "$f/junit.xml" ] || continue
  line=$(tr '\n\t' '  ' <"$f/junit.xml" | grep -m1 -o '<testsuite [^>]*>')
  tests=$(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$line")
  fails=$(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$line")
  skips=$(sed -E 's/.* skipped="([0-9]+)".*/\1/' <<<"$line")
  passed=$((passed + tests - fails - skips))
  failed=$((failed + fails))
  skipped=$((skipped + skips))
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
