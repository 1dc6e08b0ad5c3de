#!/usr/bin/env bash
# The Debian package as a user gets it: builds it, unpacks it into a
# temporary root and runs the unpacked programs from an unrelated folder,
# with no --program-dir, so they must find their data by themselves. Saving a
# preset must change the user's settings file only. The desktop entry,
# AppStream data, MIME type, man pages and the package itself go through
# the distribution's own checkers.
# Usage: package_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../gui/lib.sh"
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 SDL_AUDIODRIVER=dummy
for tool in dpkg-deb desktop-file-validate appstreamcli lintian update-mime-database ffprobe python3 man; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: skipped"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT

# --- The package ------------------------------------------------------------
arch=$(dpkg --print-architecture)
rm -f "$build"/kalvero_*.deb
cmake --build "$build" --target package >"$work/package.log" 2>&1 || { cat "$work/package.log"; fail "package target"; }
debs=("$build"/kalvero_*_"$arch".deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one kalvero_VERSION_$arch.deb in $build, got: ${debs[*]}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "kalvero_${version}_$arch.deb" ] || fail "package file name $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-liberation2 libc6 'libwx_gtk3u_core-3.2-1|libwxgtk3.2' libavcodec libpng16 libfreetype6; do
  echo "$depends" | grep -Eq "$d" || fail "Depends lacks $d: $depends"
done
pass "package $(basename "$deb"), depends on $(echo "$depends" | tr ',' '\n' | wc -l) packages"

root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
for f in bin/kalvero bin/kalvero-cli bin/kalvero-fontsheet lib/kalvero/libkalvero-media.so share/kalvero/Kalvero.ini \
  share/kalvero/includes/FontBitmap_32_0000.png share/kalvero/includes/FontBitmap_32_1500.png \
  share/man/man1/kalvero.1.gz share/man/man1/kalvero-cli.1.gz share/man/man1/kalvero-fontsheet.1.gz \
  share/applications/org.kalvero.Kalvero.desktop share/metainfo/org.kalvero.Kalvero.metainfo.xml \
  share/mime/packages/kalvero.xml share/icons/hicolor/scalable/apps/org.kalvero.Kalvero.svg \
  share/bash-completion/completions/kalvero-cli share/doc/kalvero/copyright share/doc/kalvero/changelog.gz; do
  [ -s "$root/usr/$f" ] || fail "the package lacks /usr/$f"
done
for s in 16 24 32 48 64 128 256; do
  size=$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/${s}x${s}/apps/org.kalvero.Kalvero.png" 2>/dev/null)
  [ "$size" = "${s}x${s}" ] || fail "icon ${s}x${s} is '$size'"
done
# The shipped files as dpkg recorded them, to prove later that nothing wrote them.
mkdir "$work/control"
dpkg-deb -e "$deb" "$work/control"
(cd "$root" && md5sum --quiet -c "$work/control/md5sums") || fail "unpacked files differ from the package's md5sums"
pass "unpacked: programs, data, man pages, desktop files, icons"

# --- The programs, from somewhere else ----------------------------------------
elsewhere=$work/elsewhere
mkdir -p "$elsewhere" "$work/home"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
unset XDG_CONFIG_DIRS
bin=$root/usr/bin
cd "$elsewhere"
for p in kalvero-cli kalvero-fontsheet kalvero; do
  out=$(env -u DISPLAY "$bin/$p" --version) || fail "$p --version"
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out', expected '$p $version'"
  env -u DISPLAY "$bin/$p" --help | grep -q "usage: $p" || fail "$p --help"
done
pass "--version and --help of the three programs"

printf '1\r\n00:00:01,000 --> 00:00:02,500\r\nFrom the package\r\nsecond line\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nAgain\r\n\r\n' >in.srt
mkdir film_project
"$bin/kalvero-cli" import-srt in.srt -o film_project/film.KVL8 >out.txt 2>err.txt || { cat err.txt; fail "import-srt"; }
"$bin/kalvero-cli" export png film_project/film.KVL8 >out.txt 2>err.txt || { cat err.txt; fail "export png"; }
for n in 0001 0002; do
  png=film_project/PNG_Output/film$n.png
  probe=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height,pix_fmt -of csv=p=0 "$png") ||
    fail "ffprobe cannot read $png"
  [ "$probe" = "720,576,rgba" ] || fail "$png is $probe, expected 720,576,rgba"
done
# The caption has opaque pixels: the shipped font sheets were found.
opaque=$(convert film_project/PNG_Output/film0001.png -alpha extract -format '%[fx:mean>0]' info:)
[ "$opaque" = 1 ] || fail "the exported caption is empty"
[ ! -e "$XDG_CONFIG_HOME/kalvero" ] || fail "the command-line tool created a user settings folder"
pass "import-srt and export png with the shipped data"

# The movie module: not loaded by the commands without movies, found in
# /usr/lib/kalvero by those with.
for p in kalvero-cli kalvero; do
  ldd "$bin/$p" | grep -q 'libav' && fail "$p links FFmpeg itself: $(ldd "$bin/$p" | grep libav)"
done
LD_DEBUG=files "$bin/kalvero-cli" info film_project/film.KVL8 2>"$work/ld.txt" >/dev/null || fail "info"
grep -q 'file=libav' "$work/ld.txt" && fail "info loaded FFmpeg"
LD_DEBUG=files "$bin/kalvero-cli" export dvb film_project/film.KVL8 2>"$work/ld.txt" >out.txt ||
  { grep -v '^ *[0-9]*:' "$work/ld.txt"; fail "export dvb"; }
grep -q "file=$root/usr/bin/../lib/kalvero/libkalvero-media.so\|file=$root/usr/lib/kalvero/libkalvero-media.so" \
  "$work/ld.txt" || fail "export dvb did not open the installed module"
probe=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 film_project/DVB_Output/film.ts | sort -u | grep .) ||
  fail "ffprobe cannot read the DVB track"
[ "$probe" = dvb_subtitle ] || fail "the DVB track holds '$probe'"
pass "the movie module: loaded only by the commands that need it, from /usr/lib/kalvero"

# The user's settings file, once there, is the one the tool reads.
mkdir -p "$XDG_CONFIG_HOME/kalvero"
{ cat "$root/usr/share/kalvero/Kalvero.ini"; printf 'Preset = Users Own|0,0,0|1|0|254|0|0,0,0|0|0|46|0|0|0\r\n'; } \
  >"$XDG_CONFIG_HOME/kalvero/Kalvero.ini"
shipped_presets=$(grep -c '^Preset = .*|' "$root/usr/share/kalvero/Kalvero.ini")
"$bin/kalvero-cli" import-srt in.srt -o film_project/own.KVL8 --preset "$shipped_presets" 2>err.txt ||
  { cat err.txt; fail "the user's own preset is not offered"; }
"$bin/kalvero-cli" info film_project/own.KVL8 | grep -qx "preset: $shipped_presets" || fail "own preset not stored"
printf '[Global]\r\n' >"$XDG_CONFIG_HOME/kalvero/Kalvero.ini"
"$bin/kalvero-cli" import-srt in.srt -o film_project/fallback.KVL8 2>err.txt || { cat err.txt; fail "broken user copy"; }
grep -q "warning: your settings file" err.txt || fail "no warning about the broken user settings file"
rm -r "$XDG_CONFIG_HOME/kalvero"
pass "the user's settings file is read; a broken one falls back with a warning"

"$bin/kalvero-fontsheet" --font /usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf --size 33 \
  --out "$XDG_DATA_HOME/kalvero/includes" >/dev/null || fail "kalvero-fontsheet"
"$bin/kalvero-cli" render --profile 1 --preset 0 --line-a "Own sheets" --line-b "" --font-size 33 --target alpha \
  -o own.png 2>err.txt || { cat err.txt; fail "render with the user's font sheets"; }
! grep -q "Error#10" err.txt || fail "the user's sheets were not found: $(cat err.txt)"
pass "the user's own font sheets are used"

# --- Man pages and completion ----------------------------------------------------
for page in kalvero kalvero-cli kalvero-fontsheet; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q -- "--version" ||
    fail "man $page does not document --version"
done
skipped=()
if [ ! -f /usr/share/bash-completion/bash_completion ]; then
  echo "bash-completion is not installed: the completion check is skipped"
  skipped+=("bash completion")
  pass "man pages"
else
  words=$(bash -c '. /usr/share/bash-completion/bash_completion; . "$1"
    complete_line() {  # what bash does on Tab at the end of the line
      COMP_LINE=$1; COMP_POINT=${#COMP_LINE}; read -ra COMP_WORDS <<<"$COMP_LINE"
      [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _kalvero_cli; echo "${COMPREPLY[*]}"
    }
    complete_line "kalvero-cli ex"
    complete_line "kalvero-cli export "
    complete_line "kalvero-cli --program-dir /x render a.KVL8 --target "' \
    _ "$root/usr/share/bash-completion/completions/kalvero-cli")
  [ "$words" = "$(printf 'export\npng iff avi overlay bdn sup vobsub dvb srt vtt ass scc stl\npreview alpha color opaque')" ] || fail "completion gave: $words"
  pass "man pages and bash completion"
fi

# --- Desktop integration --------------------------------------------------------
desktop-file-validate "$root/usr/share/applications/org.kalvero.Kalvero.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.kalvero.Kalvero.metainfo.xml" >"$work/as.txt" 2>&1 ||
  { cat "$work/as.txt"; fail "appstreamcli validate"; }
# The screenshot named there is the one kept in the source tree, at the size stated.
shot=$(python3 - "$root/usr/share/metainfo/org.kalvero.Kalvero.metainfo.xml" <<'PY'
import sys, xml.etree.ElementTree as ET
image = ET.parse(sys.argv[1]).getroot().find("screenshots/screenshot/image")
print(image.text.rsplit("/", 2)[-2] + "/" + image.text.rsplit("/", 1)[-1], image.get("width") + "x" + image.get("height"))
PY
) || fail "no screenshot in the metainfo"
set -- $shot
[ "$(identify -format '%wx%h' "$here/../../data/$1")" = "$2" ] || fail "screenshot data/$1 is not $2"
mime=$work/mime
mkdir -p "$mime/packages"
cp "$root/usr/share/mime/packages/kalvero.xml" "$mime/packages/"
update-mime-database "$mime" >/dev/null || fail "update-mime-database"
grep -q ':application/x-kalvero-project:\*\.KVL8' "$mime/globs2" || fail "no *.KVL8 glob: $(cat "$mime/globs2")"
grep -q ':application/x-kalvero-project:\*\.kvl8' "$mime/globs2" || fail "no *.kvl8 glob"
grep -q 'MimeType=application/x-kalvero-project;' "$root/usr/share/applications/org.kalvero.Kalvero.desktop" ||
  fail "the desktop entry does not open project files"
pass "desktop entry, AppStream data and MIME type validate"

lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
lintian_rc=$?
# 1 is its verdict on errors (seen below); anything else is lintian failing to run.
[ "$lintian_rc" -le 1 ] || { cat "$work/lintian.txt"; fail "lintian did not run (exit $lintian_rc)"; }
if [ "$lintian_rc" = 1 ] || grep -q '^E:' "$work/lintian.txt"; then cat "$work/lintian.txt"; fail "lintian reports errors"; fi
pass "lintian: no errors ($(grep -c '^W:' "$work/lintian.txt") warnings)"

# --- The window, and Save Preset into the user's copy -----------------------------------
[ -n "${DISPLAY:-}" ] || { echo "no X display: the window part is skipped"; exit 77; }
export KALVERO_TEST_SETTLE=$work/settled   # lib.sh's settle waits on it
"$bin/kalvero" 2>"$work/kalvero.err" & pids+=($!)
wait_for 20 main_window || { cat "$work/kalvero.err"; fail "the main window of the unpacked program did not appear"; }
settle
window_origin
[ "$WW" = 975 ] && [ "$WH" = 786 ] || fail "window is ${WW}x${WH}, expected 975x786"
[ "$(pixel 10 10)" = "0,0,160" ] || fail "canvas colour $(pixel 10 10): the shipped settings were not read"
import -window root -crop ${WW}x${WH}+${WX}+${WY} +repage "${KALVERO_GUI_SHOTS:-$work}/installed.png"
pass "the unpacked program shows its window"

click_at $((975 - 250 + 10 + 10)) 185   # Draw No Strips: a style change enables Save Preset
click_at $((975 - 250 + 150 + 40)) 130  # Save Preset
wait_for 10 xdotool search --onlyvisible --name "^Save preset$" || fail "no 'Save preset' box"
dialog_key "Save preset" Return
user=$XDG_CONFIG_HOME/kalvero/Kalvero.ini
wait_for 10 test -s "$user" || fail "the user's settings file was not written"
python3 - "$user" "$root/usr/share/kalvero/Kalvero.ini" <<'PY' || fail "the user's settings file does not hold the new preset"
import configparser, sys
c = configparser.ConfigParser(strict=False, interpolation=None)
# Preset lines repeat one key: read them in order.
def presets_of(path):
    lines = open(path, encoding="cp1252").read().splitlines()
    return lines, [l.split("=", 1)[1].strip() for l in lines[lines.index("[Presets]") + 1:] if "=" in l]
lines, presets = presets_of(sys.argv[1])
shipped = presets_of(sys.argv[2])[1]
c.read_string("\n".join(l for l in lines if not l.startswith("Preset")))
assert c["Global"]["StartupProfile"].strip() == "1", c["Global"]["StartupProfile"]
assert presets[-1].startswith("Rental Video Black Bars copy|"), presets[-1]
assert presets[-1].split("|")[5] == "1", presets[-1]          # Draw No Strips
assert presets[:-1] == shipped, "the shipped presets were not kept"
PY
(cd "$root" && md5sum --quiet -c "$work/control/md5sums") || fail "Save Preset changed a shipped file"
ls -A "$XDG_CONFIG_HOME/kalvero" | grep -qv '^Kalvero.ini$' && fail "left-overs beside the user's settings file"
pass "Save Preset wrote the user's copy; the shipped file is unchanged"
if [ ${#skipped[@]} -gt 0 ]; then echo "skipped: ${skipped[*]}"; exit 77; fi
exit 0
