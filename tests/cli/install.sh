#!/usr/bin/env bash
# Installing: `cmake --install` into a scratch prefix, and the Debian package unpacked into a
# scratch root (no root rights needed), each play the demo headless from another folder with
# their own data; the desktop files agree on the script type.
source "$(dirname "$0")/common.bash"

# The demo's first frame from the build tree: what every installed tree must show too.
"$render" "$2/examples/demo/demo.vek" --ms 0 --out "$work/built.png" || say "built demo exit $?"
mkdir -p "$work/elsewhere"

# The kiosk unit reads clean to systemd (an instance of it, with its player in this tree).
check_kiosk_unit() {
  local unit=$1/lib/systemd/user/veke-kiosk@.service report
  [ -f "$unit" ] || { say "$2: lib/systemd/user/veke-kiosk@.service missing"; return; }
  command -v systemd-analyze >/dev/null || return 0
  mkdir -p "$work/units" "$work/runtime" && chmod 700 "$work/runtime"
  grep -q "^ExecStart=${3:-/.*/bin}/veke --kiosk .*%f$" "$unit" || say "$2: the unit starts $(grep ^ExecStart "$unit")"
  sed "s#^ExecStart=[^ ]*#ExecStart=$1/bin/veke#" "$unit" >"$work/units/veke-kiosk@srv-show-show.vek.service"
  report=$(cd "$work/units" && XDG_RUNTIME_DIR=$work/runtime \
    systemd-analyze verify --user --man=no veke-kiosk@srv-show-show.vek.service 2>&1) && [ -z "$report" ] ||
    say "$2: systemd-analyze verify: $report"
}

# Checks an installed tree under PREFIX; NAME tells the trees apart in messages.
check_tree() {
  local prefix=$1 name=$2
  local font="$prefix/share/veke/Res/Fonts16bit.ger" demo="$prefix/share/veke/examples/demo"
  for program in veke veke-render ger obj2vk; do
    [ -x "$prefix/bin/$program" ] || say "$name: bin/$program missing"
    [ -s "$prefix/share/man/man1/$program.1.gz" ] || say "$name: no manual page for $program"
  done
  [ -x "$prefix/bin/fontgen" ] || say "$name: bin/fontgen missing"
  for file in "$font" "$demo/demo.vek" "$demo/3d/cube.vko" "$prefix/share/applications/veke.desktop" \
    "$prefix/share/applications/veke-disc.desktop" \
    "$prefix/share/mime/packages/veke.xml" "$prefix/share/icons/hicolor/scalable/apps/veke.svg"; do
    [ -f "$file" ] || say "$name: ${file#"$prefix"/} missing"
  done
  "$prefix/bin/veke" --version | grep -q "^veke " || say "$name: veke --version"
  check_kiosk_unit "$prefix" "$name"

  # From a folder that is neither the tree nor the sources, as a user would start it.
  (cd "$work/elsewhere" && "$prefix/bin/veke-render" "$demo/demo.vek" --ms 0 --out "$work/$name.png") \
    || say "$name: demo exit $?"
  [ "$(identify -format %wx%h "$work/$name.png" 2>/dev/null)" = 640x480 ] || say "$name: first frame not 640x480"
  cmp -s "$work/built.png" "$work/$name.png" || say "$name: first frame differs from the build tree's"
  # The demo's title is drawn with the tree's own font file: a broken copy there must show,
  # or the program read a font from somewhere else (the build folder, the prefix it was built for).
  mv "$font" "$font.good" && : >"$font"
  (cd "$work/elsewhere" && "$prefix/bin/veke-render" "$demo/demo.vek" --ms 0 --out "$work/$name-broken.png" 2>/dev/null)
  cmp -s "$work/$name.png" "$work/$name-broken.png" && say "$name: the font was not read from the installed tree"
  mv "$font.good" "$font"
}

# The desktop entry opens exactly the type that the MIME definition gives *.vek files; the
# disc entry offers the player for disc images and .cue sheets under "Open With", out of menus
# and last in KDE's order, and for no archive or other type whose default it could become.
check_desktop_files() {
  local share=$1/share
  local type report entry
  type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$share/mime/packages/veke.xml")
  grep -qx "MimeType=$type;" "$share/applications/veke.desktop" || say "desktop entry does not open $type"
  grep -qx "MimeType=application/x-cd-image;application/x-iso9660-image;application/x-cue;" \
    "$share/applications/veke-disc.desktop" || say "disc entry does not open exactly the image types"
  for line in NoDisplay=true InitialPreference=0; do
    grep -qx "$line" "$share/applications/veke-disc.desktop" || say "disc entry lacks $line"
  done
  [ -e "$share/applications/mimeapps.list" ] && say "an installed mimeapps.list names defaults"
  for entry in veke veke-disc; do
    grep -qx "Exec=veke %f" "$share/applications/$entry.desktop" || say "$entry.desktop does not run veke with the file"
    if command -v desktop-file-validate >/dev/null; then
      # Hints too: for an entry this small they point at real mistakes.
      report=$(desktop-file-validate "$share/applications/$entry.desktop" 2>&1) && [ -z "$report" ] \
        || say "$entry.desktop: $report"
    fi
  done
  if command -v update-mime-database >/dev/null; then
    update-mime-database "$share/mime" 2>/dev/null || say "update-mime-database"
    # No flags after the glob: it matches DEMO.VEK as well as demo.vek.
    grep -q "^[0-9]*:$type:\*\.vek$" "$share/mime/globs2" || say "MIME database: no *.vek for $type"
  fi
}

cmake --install "$bin" --prefix "$work/prefix" >"$work/install.log" || { say "cmake --install"; cat "$work/install.log"; }
check_tree "$work/prefix" prefix
check_desktop_files "$work/prefix"

# The package as `make deb` builds it, in a scratch folder so the build's own package stays.
if command -v dpkg-deb >/dev/null; then
  cpack -G DEB --config "$bin/CPackConfig.cmake" -B "$work/pkg" -D CPACK_OUTPUT_FILE_PREFIX="$work/pkg" \
    >"$work/cpack.log" 2>&1 || { say "cpack"; cat "$work/cpack.log"; }
  deb=$(ls "$work"/pkg/veke_*.deb)
  dpkg-deb -f "$deb" Depends | grep -q "libsdl2" || say "package dependencies were not worked out"
  outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$')
  [ -z "$outside" ] || say "package files outside /usr: $outside"
  dpkg-deb -x "$deb" "$work/root" || say "dpkg-deb -x"
  check_tree "$work/root/usr" package
  check_kiosk_unit "$work/root/usr" package /usr/bin
else
  say "dpkg-deb is missing (scripts/install-deps.sh installs dpkg-dev)"
fi
exit $fail
