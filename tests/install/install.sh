#!/usr/bin/env bash
# The installed programs, in a scratch folder (no root, nothing changed outside it): the build's
# `cmake --install` into a DESTDIR puts every file in place, with desktop entries and AppStream
# entries that validate, icons that exist in their sizes, and programs that find the capture
# library in the intended order; the installed solvane runs from another folder on the simulated
# cards, and the installed GStreamer plugin loads from the prefix and captures from them. Then the
# Debian package: cpack builds it from the same build, its Depends come from the binaries (the
# plugin's among them), and solvane and the plugin unpacked from it run too.
#   install.sh BUILD_DIR LIBDIR PLUGINDIR   (PLUGINDIR: the plugin's folder, relative to the prefix)
set -euo pipefail
build=$1
libdir=$2
plugindir=$3
# shellcheck source=../e2e/lib.sh
source "$(dirname "$0")/../e2e/lib.sh"
e2e_start
unset LD_LIBRARY_PATH GST_PLUGIN_PATH GST_PLUGIN_PATH_1_0
# GStreamer's registry cache goes to the scratch folder, never to the user's.
export GST_REGISTRY="$E2E_WORK/gst-registry.bin"
# Caches (fonts, AppStream) go to the scratch folder too.
export XDG_CACHE_HOME="$E2E_WORK/cache"

programs=(hexmont solvane)
sizes=(16 32 48 64 128 256)
# expected_files: every file the programs, the simulated cards and the desktop need, relative to
# the prefix.
expected_files() {
  local program size
  for program in "${programs[@]}"; do
    echo "bin/$program"
    echo "share/applications/example.quarn.$program.desktop"
    echo "share/metainfo/example.quarn.$program.metainfo.xml"
    echo "share/icons/hicolor/scalable/apps/example.quarn.$program.svg"
    for size in "${sizes[@]}"; do
      echo "share/icons/hicolor/${size}x${size}/apps/example.quarn.$program.png"
    done
  done
  echo "$libdir/quarn/libQuarnVideo.so"
  echo "$libdir/quarn/libQuarnVidEx.so"
  echo "include/quarn/QuarnVideo.h"
  echo "include/quarn/QuarnVidEx.h"
  echo "bin/quarn-compliance"
  echo "$plugindir/libgstquarn.so"
  echo "libexec/quarn-compliance/quarn-compliance-checks"
}

# check_compliance PREFIX: the installed compliance tool, run from another folder, finds its
# checks program and, through it, the simulated cards, and they pass its card checks.
check_compliance() {
  local prefix=$1 out
  check_loader "$prefix/libexec/quarn-compliance/quarn-compliance-checks" "$prefix/$libdir/quarn"
  out=$(cd "$E2E_WORK/elsewhere" && "$prefix/bin/quarn-compliance" --area cards 2>&1) ||
    e2e_fail "the installed quarn-compliance failed: $out"
  grep -q "^compliance: [1-9][0-9]* passed, 0 failed" <<<"$out" ||
    e2e_fail "the installed quarn-compliance ran no check: $out"
}

# check_tree ROOT: the files under ROOT (an installed prefix) are complete and sound.
check_tree() {
  local root=$1 file program size exec icon
  while read -r file; do
    [[ -f $root/$file ]] || e2e_fail "not installed: $file"
  done < <(expected_files)
  # Nothing built for testing or measuring is installed.
  file=$(find "$root" -type f \( -name '*test*' -o -name '*bench*' -o -name '*fake*' \
    -o -name quarnsim_render \) -print -quit)
  [[ -z $file ]] || e2e_fail "installed a test or developer file: $file"
  for program in "${programs[@]}"; do
    [[ -x $root/bin/$program ]] || e2e_fail "bin/$program is not executable"
    file="$root/share/applications/example.quarn.$program.desktop"
    desktop-file-validate "$file" || e2e_fail "$file does not validate"
    exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$file")
    [[ -x $root/bin/$exec ]] || e2e_fail "$file starts \"$exec\", which is not installed"
    icon=$(sed -n 's/^Icon=//p' "$file")
    [[ -f $root/share/icons/hicolor/scalable/apps/$icon.svg ]] ||
      e2e_fail "$file names icon \"$icon\", which is not installed"
    appstreamcli validate --no-net "$root/share/metainfo/example.quarn.$program.metainfo.xml" \
      >"$E2E_WORK/appstream.log" 2>&1 || {
      cat "$E2E_WORK/appstream.log" >&2
      e2e_fail "the metainfo of $program does not validate"
    }
    grep -q 'release version="1.1.6.0"' "$root/share/metainfo/example.quarn.$program.metainfo.xml" ||
      e2e_fail "the metainfo of $program does not name release 1.1.6.0"
    for size in "${sizes[@]}"; do
      file "$root/share/icons/hicolor/${size}x${size}/apps/example.quarn.$program.png" |
        grep -q "PNG image data, $size x $size" || e2e_fail "$program's ${size}px icon is not $size x $size"
    done
  done
}

# loaded PROGRAM LIB: the file the dynamic loader takes for LIB when PROGRAM starts, as a real path.
loaded() {
  realpath "$(ldd "$1" | awk -v lib="$2" '$1 == lib { print $3 }')"
}

# check_loader PROGRAM SIMDIR: PROGRAM (or module) finds the simulated cards in SIMDIR through its
# RUNPATH, which lists the prefix's library folder first, then the system's folders, and the
# simulated cards' folder last; and a library of the same soname named through LD_LIBRARY_PATH
# wins over them.
check_loader() {
  local program=$1 simdir=$2 runpath lib other origin first last
  readelf -d "$program" | grep -q '(RPATH)' && e2e_fail "$program has an RPATH, which would come before LD_LIBRARY_PATH"
  runpath=$(readelf -d "$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [[ $runpath == \$ORIGIN/*:\$ORIGIN/*../$libdir/quarn ]] ||
    e2e_fail "$program's RUNPATH does not start with the prefix and end with the simulated cards: $runpath"
  [[ $runpath == *:/usr/lib:* ]] || e2e_fail "$program's RUNPATH misses the system's folders: $runpath"
  # Its $ORIGIN entries, counted from the program's folder, reach the prefix's folders.
  origin=$(dirname "$program")
  first=${runpath%%:*} last=${runpath##*:}
  [[ $(realpath -m "$origin/${first#\$ORIGIN/}") == $(realpath -m "$simdir/..") ]] ||
    e2e_fail "$program's RUNPATH starts with $first, not the prefix's $libdir"
  [[ $(realpath -m "$origin/${last#\$ORIGIN/}") == $(realpath -m "$simdir") ]] ||
    e2e_fail "$program's RUNPATH ends with $last, not the simulated cards' folder"
  for lib in libQuarnVideo.so libQuarnVidEx.so; do
    [[ $(loaded "$program" $lib) == $(realpath "$simdir/$lib") ]] ||
      e2e_fail "$program does not use the simulated $lib: $(ldd "$program" | grep Quarn)"
  done
  other="$E2E_WORK/other-card"
  mkdir -p "$other"
  cp "$simdir/libQuarnVideo.so" "$other/"
  [[ $(LD_LIBRARY_PATH=$other loaded "$program" libQuarnVideo.so) == "$(realpath "$other")/libQuarnVideo.so" ]] ||
    e2e_fail "LD_LIBRARY_PATH does not choose the capture library of $program"
}

# check_plugin PREFIX: GStreamer, told of the prefix's plugin folder alone, finds quarnsrc in the
# installed plugin, and a pipeline run from another folder captures five frames of a simulated
# card through the capture library in the prefix's private folder.
check_plugin() {
  local prefix=$1 plugin="$1/$plugindir/libgstquarn.so" out file
  check_loader "$plugin" "$prefix/$libdir/quarn"
  out=$(GST_PLUGIN_PATH="$prefix/$plugindir" gst-inspect-1.0 quarnsrc 2>&1) ||
    e2e_fail "gst-inspect-1.0 finds no quarnsrc in $prefix/$plugindir: $out"
  file=$(sed -n 's/^ *Filename *//p' <<<"$out")
  [[ $(realpath "$file") == $(realpath "$plugin") ]] ||
    e2e_fail "quarnsrc was loaded from $file, not from $plugin"
  mkdir -p "$E2E_WORK/elsewhere"
  out=$(cd "$E2E_WORK/elsewhere" && GST_PLUGIN_PATH="$prefix/$plugindir" LD_DEBUG=libs \
    timeout 60 gst-launch-1.0 quarnsrc num-buffers=5 ! fakesink 2>&1) ||
    e2e_fail "the installed quarnsrc did not capture five frames: $(grep -v '^ *[0-9]*:' <<<"$out")"
  grep -q '^Got EOS from element' <<<"$out" ||
    e2e_fail "the pipeline did not end with the fifth frame: $(grep -v '^ *[0-9]*:' <<<"$out")"
  file=$(sed -n 's/.*calling init: \(.*libQuarnVideo\.so\)$/\1/p' <<<"$out" | head -n 1)
  [[ -n $file && $(realpath "$file") == $(realpath "$prefix/$libdir/quarn/libQuarnVideo.so") ]] ||
    e2e_fail "the installed quarnsrc used ${file:-no} libQuarnVideo.so, not the prefix's simulated cards"
}

# run_solvane PROGRAM: PROGRAM (an installed solvane), started from a folder of its own, shows its
# window on the simulated cards and File > Exit ends it with status 0.
run_solvane() {
  local program=$1 pid window status
  mkdir -p "$E2E_WORK/elsewhere"
  pushd "$E2E_WORK/elsewhere" >/dev/null
  e2e_launch pid "$program"
  popd >/dev/null
  window=$(e2e_window "$pid" "Solvane|Quarn Performance .*") || e2e_fail "$program showed no window"
  e2e_keys "$window" alt+f x
  status=$(e2e_exit_status "$pid") || e2e_fail "$program did not close through File > Exit"
  [[ $status == 0 ]] || e2e_fail "$program ended with status $status"
}

# `cmake --install` and cpack write the build folder's install_manifest.txt; the one a real
# install left there (the list its removal reads) is put back at the end, whatever happens.
manifest="$build/install_manifest.txt"
if [[ -f $manifest ]]; then cp -p "$manifest" "$E2E_WORK/manifest.saved"; fi
restore_manifest() {
  if [[ -f $E2E_WORK/manifest.saved ]]; then
    mv "$E2E_WORK/manifest.saved" "$manifest"
  else
    rm -f "$manifest"
  fi
}
trap 'restore_manifest; e2e_stop' EXIT

# 1. cmake --install into a prefix under a DESTDIR.
DESTDIR="$E2E_WORK/dest" cmake --install "$build" --prefix /opt/quarn >"$E2E_WORK/install.log" ||
  { cat "$E2E_WORK/install.log" >&2; e2e_fail "cmake --install failed"; }
cp "$manifest" "$E2E_WORK/manifest.txt"
prefix="$E2E_WORK/dest/opt/quarn"
check_tree "$prefix"
while read -r file; do
  grep -qx "/opt/quarn/$file" "$E2E_WORK/manifest.txt" || e2e_fail "install_manifest.txt misses $file"
done < <(expected_files)
for program in "${programs[@]}"; do check_loader "$prefix/bin/$program" "$prefix/$libdir/quarn"; done
run_solvane "$prefix/bin/solvane"
check_compliance "$prefix"
check_plugin "$prefix"

# 2. The Debian package, built from the same build into the scratch folder.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$E2E_WORK/package" >"$E2E_WORK/cpack.log" ||
  { cat "$E2E_WORK/cpack.log" >&2; e2e_fail "cpack failed"; }
deb=$(find "$E2E_WORK/package" -maxdepth 1 -name 'quarn-workbench_1.1.6.0_*.deb' -print -quit)
[[ -n $deb ]] || e2e_fail "cpack made no quarn-workbench_1.1.6.0 package"
info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for dependency in libc6 libstdc++6 libqt6widgets6 libyuv0 libgstreamer1.0-0 \
  libgstreamer-plugins-base1.0-0; do
  [[ ", $depends" == *", $dependency (>= "* ]] ||
    e2e_fail "the package's Depends, computed from the binaries, miss $dependency: $depends"
done
grep -qx " Version: 1.1.6.0" <<<"$info" || e2e_fail "the package's version is not 1.1.6.0"
dpkg-deb -x "$deb" "$E2E_WORK/root"
check_tree "$E2E_WORK/root/usr"
check_loader "$E2E_WORK/root/usr/bin/solvane" "$E2E_WORK/root/usr/$libdir/quarn"
run_solvane "$E2E_WORK/root/usr/bin/solvane"
check_compliance "$E2E_WORK/root/usr"
check_plugin "$E2E_WORK/root/usr"
echo "1 passed, 0 failed"
