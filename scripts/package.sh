#!/usr/bin/env bash
# Builds the client's Debian package, out/tunvik_<version>_amd64.deb, from the plain build in
# build/ (installs what is missing, then builds or brings the build up to date, installed under
# /usr). Prints the package's path.
# Usage: scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
scripts/deps.sh
scripts/build.sh "$dir" -DCMAKE_INSTALL_PREFIX=/usr

staging="$dir/package"
rm -rf "$staging"
if ! cpack --config "$dir/CPackConfig.cmake" -B "$staging" > "$dir.package.log" 2>&1; then
  cat "$dir.package.log"
  exit 1
fi
shopt -s nullglob
debs=("$staging"/tunvik_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "cpack made ${#debs[@]} packages instead of one (log: $dir.package.log)" >&2
  exit 1
fi
mkdir -p out
mv -f "${debs[0]}" out/
echo "out/$(basename "${debs[0]}")"
