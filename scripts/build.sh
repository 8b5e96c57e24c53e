#!/usr/bin/env bash
# build.sh [PRESET...]: configures a preset's build folder when it has none yet and builds
# it incrementally (Ninja re-runs CMake by itself when a CMakeLists or a glob changes).
# Default presets: native win32. Used by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
((${#presets[@]})) || presets=(native win32)
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p build
for preset in "${presets[@]}"; do
  if [[ ! -f build/$preset/CMakeCache.txt || ! -f build/$preset/build.ninja ]]; then
    echo "build: configuring $preset"
    if ! cmake --preset "$preset" >"build/configure-$preset.log" 2>&1; then
      cat "build/configure-$preset.log" >&2
      exit 1
    fi
  fi
  echo "build: $preset"
  cmake --build "build/$preset" --parallel "$jobs"
done
