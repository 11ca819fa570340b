#!/usr/bin/env bash
# Checks a built Debian package as a user gets it. As root it is installed
# with apt-get (its dependencies from the archive) and removed again after;
# otherwise it is unpacked into a temporary folder and run from there. Either
# way: the installed batchvc --demo must write a PSP MP4 with its thumbnail,
# corvane-log --help must answer, and the desktop entries and AppStream
# metadata must validate.
#   tools/check-package.sh DEB
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
installed=""
cleanup() {
  [ -n "$installed" ] && DEBIAN_FRONTEND=noninteractive apt-get remove -y -q corvane >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package: FAILED: $*" >&2; exit 1; }

if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get install $deb"; }
  installed=yes
  root=""
  echo "package: installed $(dpkg-query -W -f '${Package} ${Version}' corvane)"
else
  dpkg-deb -x "$deb" "$work/root"
  root=$work/root
  echo "package: unpacked into $root (not root: no apt-get install)"
fi
bin=$root/usr/bin
share=$root/usr/share

# A new user: no settings, no profiles of its own.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR"

"$bin/corvane-log" --help 2>"$work/log-help.txt" || fail "corvane-log --help"
grep -q "usage: corvane-log" "$work/log-help.txt" || fail "corvane-log --help says $(cat "$work/log-help.txt")"

"$bin/batchvc" --demo >"$work/demo.txt" 2>&1 || { cat "$work/demo.txt"; fail "batchvc --demo"; }
folder=$(sed -n 's/^Folder: //p' "$work/demo.txt")
mp4=$(ls "$folder"/M4V*.MP4 2>/dev/null | head -1)
[ -n "$mp4" ] && [ -s "${mp4%.MP4}.THM" ] || { cat "$work/demo.txt"; fail "no MP4 and thumbnail in $folder"; }
brand=$(ffprobe -v error -show_entries format_tags=major_brand -of csv=p=0 "$mp4")
video=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 "$mp4")
audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 "$mp4")
[ "$brand" = "MSNV" ] && [ "$video" = "mpeg4,368,208" ] && [ "$audio" = "aac,48000,2" ] ||
  fail "$mp4 is brand $brand, video $video, audio $audio"
ffmpeg -nostdin -v error -i "$mp4" -f null - 2>"$work/decode.txt" && [ ! -s "$work/decode.txt" ] ||
  { cat "$work/decode.txt"; fail "$mp4 does not decode cleanly"; }
echo "package: batchvc --demo wrote $(basename "$mp4") (MSNV, $video, $audio) and its thumbnail"

desktop-file-validate "$share"/applications/corvane*.desktop || fail "desktop entries"
appstreamcli validate --no-net "$share"/metainfo/example.corvane.Corvane.metainfo.xml || fail "AppStream metadata"
for size in 16x16 32x32 48x48 256x256 scalable; do
  ls "$share/icons/hicolor/$size/apps/corvane".* >/dev/null || fail "icon $size"
done
for page in corvane corvane-batch batchvc corvane-log; do
  [ -f "$share/man/man1/$page.1" ] && [ -x "$bin/$page" ] || fail "man page and program $page"
done
echo "package: desktop entries, metadata, icons and man pages in place and valid"
