#!/usr/bin/env bash
# The whole bad-input corpus through the batch converter in one run: the run
# must end (no hang), report failure (some files are unreadable), and write
# one playable PSP MP4 for every file a player plays, the last good clip
# included (the engine goes on after every bad file).
#   tests/corpus/run_corpus_batch.sh BATCHVC WORKDIR
set -uo pipefail
batchvc=${1:?usage: run_corpus_batch.sh BATCHVC WORKDIR}
work=${2:?usage: run_corpus_batch.sh BATCHVC WORKDIR}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/home/.config" "$work/out"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"

bash "$here/make_corpus.sh" "$work/corpus" || { echo "corpus could not be made"; exit 1; }
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine -t 2 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac "$work/corpus/last_good.mp4" || exit 1
echo "last_good.mp4 ok a good clip after all the bad ones" >> "$work/corpus/MANIFEST"

files=()
expected=0
while read -r name expect _; do
  files+=("$work/corpus/$name")
  [ "$expect" = ok ] || [ "$expect" = short ] && expected=$((expected + 1))
done < "$work/corpus/MANIFEST"

timeout 900 "$batchvc" -q -y -p "PSP MPEG-4 320x240" --output-folder "$work/out" "${files[@]}" \
  > "$work/batch.out" 2> "$work/batch.err"
status=$?
fail=0
if [ $status -eq 124 ]; then echo "the batch hung"; exit 1; fi
if [ $status -eq 0 ]; then echo "the batch reported success although some files cannot be read"; fail=1; fi
written=$(find "$work/out" -name 'M4V*.MP4' | wc -l)
if [ "$written" -ne "$expected" ]; then
  echo "$written outputs for $expected playable files"; fail=1
fi
for f in "$work/out"/M4V*.MP4; do
  streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$f" | sort | tr '\n' ' ')
  if [ "$streams" != "audio video " ]; then echo "$f: streams '$streams'"; fail=1; fi
done
[ $fail -eq 0 ] || { cat "$work/batch.err"; exit 1; }
echo "corpus: $(wc -l < "$work/corpus/MANIFEST") files, $written converted, the rest refused"
