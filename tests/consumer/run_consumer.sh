#!/bin/sh
# Installs a build into a scratch prefix, then configures, builds and runs
# the consumer project against the installed package only.
# Usage: run_consumer.sh <build dir> <source dir> [consumer configure options]
set -eu
build=$1
source=$2
shift 2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrane-consumer.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
  cat "$scratch/install.log"; exit 1; }

# The package must be relocatable: nothing in it may point back into the
# tree it was built from.
for dir in "$build" "$source"; do
  absolute=$(cd "$dir" && pwd -P)
  if grep -rlF -e "$dir" -e "$absolute" "$prefix"/lib*/cmake "$prefix"/include; then
    echo "installed files above name $dir" >&2
    exit 1
  fi
done

cmake -S "$source/tests/consumer" -B "$scratch/build" -DCMAKE_PREFIX_PATH="$prefix" "$@"
cmake --build "$scratch/build"
"$scratch/build/kestrane_consumer"
