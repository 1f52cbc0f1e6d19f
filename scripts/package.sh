#!/usr/bin/env bash
# Builds the Debian package: configures the default preset, builds what is installed (target
# `installable`: the programs and the simulated cards, not the tests) and runs CPack, whose
# dpkg-shlibdeps computes the package's Depends from the binaries. The package lands in
# build/packages/ (or the folder given), e.g. build/packages/quarn-workbench_1.1.6.0_amd64.deb.
#   scripts/package.sh [OUTPUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/packages}")
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target installable -j2
mkdir -p "$out"
# CPack rewrites the build folder's install_manifest.txt with the package's paths; the list a
# `cmake --install` left there (which its removal reads) is kept.
manifest=build/default/install_manifest.txt
saved=$(mktemp)
trap 'rm -f "$saved"' EXIT
had_manifest=0
if [[ -f $manifest ]]; then cp -p "$manifest" "$saved" && had_manifest=1; fi
status=0
cpack --config build/default/CPackConfig.cmake -G DEB -B "$out" || status=$?
if ((had_manifest)); then mv "$saved" "$manifest"; else rm -f "$manifest"; fi
((status == 0)) || exit "$status"
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
