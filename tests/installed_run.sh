#!/usr/bin/env bash
# An installed run: the build installed into a temporary prefix (as a
# package puts it under /usr), run as a user who has never run it. The
# installed programs find their shipped profiles in share/corvane, a profile
# saved there goes into the user's own folder (the installed one is left
# alone), the next run lists it and converts with it.
#   installed_run.sh BUILD_DIR MAKE_FIXTURES
set -euo pipefail
build=$1
make_fixtures=$2
work=$(mktemp -d "${CORVANE_TEST_TMP:-${TMPDIR:-/tmp}}/installed-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
# Installed files are not the user's to write.
chmod -R a-w "$prefix"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR"
cd "$work"   # nothing of the build beside the working folder
batchvc=$prefix/bin/batchvc

"$batchvc" --list-profiles >shipped.txt
[ "$(wc -l <shipped.txt)" -eq 6 ] || { cat shipped.txt; fail "six shipped profiles listed"; }
grep -q '^PSP AVC 320x240	h264 320x240 29.97 fps 500 kbit/s' shipped.txt || fail "the shipped AVC profile"

"$batchvc" --profile "PSP AVC 320x240" --bitrate 400 --save-profile "My AVC" >saved.txt
saved="$XDG_DATA_HOME/Corvane/profile/My AVC.pr"
[ -f "$saved" ] || fail "saved into $saved"
[ ! -e "$prefix/share/corvane/profile/My AVC.pr" ] || fail "the installed folder was written"

"$batchvc" --list-profiles >next.txt
[ "$(wc -l <next.txt)" -eq 7 ] || { cat next.txt; fail "seven profiles listed the next time"; }
grep -q '^My AVC	h264 320x240 29.97 fps 400 kbit/s' next.txt || { cat next.txt; fail "the saved profile listed"; }

mkdir clips
"$make_fixtures" clips 2 >/dev/null
"$batchvc" --quiet --profile "My AVC" --output-folder "$work/out" clips/h264_aac.mp4
out=$work/out/MAQ20001.MP4
[ -f "$out" ] && [ -f "${out%.MP4}.THM" ] || fail "converted with the saved profile into $out"
codec=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 "$out")
[ "$codec" = "h264,320,240" ] || fail "output video $codec"
echo "installed run: profiles found, \"My AVC\" saved in the user's folder, listed and used"
