#!/usr/bin/env bash
# check-install.sh BUILD_DIR CONSUMER_DIR [COMPILER_FLAGS]
# Installs BUILD_DIR into a temporary prefix, checks the command and its man
# page, then builds and runs the consumer program against the installed nq:
# with CMake's find_package(nq) and with pkg-config.
set -euo pipefail
build=$1
consumer=$2
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$work/prefix/bin/wexa" --version | grep -q '^wexa [0-9]'
test -f "$work/prefix/share/man/man1/wexa.1"

cmake -S "$consumer" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
mkdir "$work/run-cmake"
"$work/with-cmake/nq_consumer" "$work/run-cmake"

pcdir=$(dirname "$(find "$work/prefix" -name nq.pc)")
# shellcheck disable=SC2046,SC2086
c++ -std=c++17 $flags "$consumer/main.cpp" -o "$work/with-pkg-config" \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs nq)
mkdir "$work/run-pkg-config"
"$work/with-pkg-config" "$work/run-pkg-config"
echo "installed nq serves programs through CMake and pkg-config"
