#!/usr/bin/env bash
# Writes the bad-input corpus into DIR: damaged, truncated, odd and hostile
# files made with the ffmpeg command line and by mangling good ones, and a
# manifest (DIR/MANIFEST) with one line per file: its name, "ok" when a
# player plays it (so it must convert), "short" for a file of a single
# picture (it converts to a single frame), "fail" when it must be refused
# with a message, and what it is.
#   tests/corpus/make_corpus.sh DIR
set -euo pipefail
dir=${1:?usage: make_corpus.sh DIR}
mkdir -p "$dir"
cd "$dir"
: > MANIFEST

ff() { ffmpeg -nostdin -v error -y "$@"; }
note() { printf '%s %s %s\n' "$1" "$2" "$3" >> MANIFEST; }
pattern() { echo "testsrc2=size=$1:rate=${2:-25}"; }
tone() { echo "sine=frequency=440:sample_rate=${1:-48000}"; }

# Good sources the damaged ones are made from.
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 4 -c:v libx264 -pix_fmt yuv420p -c:a aac \
   base_moovend.mp4
ff -i base_moovend.mp4 -c copy -movflags +faststart base_faststart.mp4
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 4 -c:v mpeg2video -c:a mp2 base.mpg
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 4 -c:v mpeg2video -c:a mp2 -f mpegts base.ts

size() { stat -c %s "$1"; }
cut_at() { head -c "$2" "$1" > "$3"; }

# Empty and random files with video extensions.
: > empty.mp4; note empty.mp4 fail "empty file"
head -c 300000 /dev/urandom > random.avi; note random.avi fail "random bytes named .avi"
head -c 300000 /dev/urandom > random.mp4; note random.mp4 fail "random bytes named .mp4"

# Truncations.
cut_at base.mpg $(( $(size base.mpg) / 10 )) trunc10.mpg; note trunc10.mpg ok "MPEG-PS cut at 10 %"
cut_at base.mpg $(( $(size base.mpg) / 2 )) trunc50.mpg; note trunc50.mpg ok "MPEG-PS cut at 50 %"
cut_at base_faststart.mp4 $(( $(size base_faststart.mp4) / 2 )) trunc50_faststart.mp4
note trunc50_faststart.mp4 ok "MP4 with its index first, cut at 50 %"
cut_at base_moovend.mp4 $(( $(size base_moovend.mp4) / 2 )) trunc50_moovend.mp4
note trunc50_moovend.mp4 fail "MP4 with its index last, cut at 50 % (no index left)"
cut_at base_faststart.mp4 1500 trunc_header.mp4; note trunc_header.mp4 fail "MP4 cut inside its header"

# The index removed: the moov box renamed to a free box.
python3 - base_faststart.mp4 noindex.mp4 <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
i = data.find(b'moov')
size = int.from_bytes(data[i - 4:i], 'big')
data[i:i + 4] = b'free'
data[i + 4:i - 4 + size] = bytes(size - 8)
open(sys.argv[2], 'wb').write(data)
EOF
note noindex.mp4 fail "MP4 whose index box is gone"

# Corrupted packets in a transport stream (players skip the damage).
python3 - base.ts corrupt.ts <<'EOF'
import random, sys
random.seed(7)
data = bytearray(open(sys.argv[1], 'rb').read())
for _ in range(60):
    pos = random.randrange(len(data) // 5, len(data) - 200)
    for k in range(pos, pos + 120):
        data[k] = random.randrange(256)
open(sys.argv[2], 'wb').write(data)
EOF
note corrupt.ts ok "MPEG-TS with 60 damaged stretches"

# Odd picture sizes.
ff -f lavfi -i "color=c=red:size=16x16:rate=25" -f lavfi -i "$(tone)" -t 2 -vf scale=1:1 -c:v ffv1 -c:a pcm_s16le \
   tiny_1x1.mkv
note tiny_1x1.mkv ok "1x1 pictures"
ff -f lavfi -i "$(pattern 321x239)" -f lavfi -i "$(tone)" -t 2 -c:v ffv1 -c:a pcm_s16le odd_321x239.mkv
note odd_321x239.mkv ok "321x239 pictures"
ff -f lavfi -i "$(pattern 4096x2160)" -f lavfi -i "$(tone)" -t 1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
   -c:a aac big_4096x2160.mp4
note big_4096x2160.mp4 ok "4096x2160 pictures"

# Frame rates.
ff -f lavfi -i "$(pattern 320x240 1000)" -f lavfi -i "$(tone)" -t 1 -c:v mpeg4 -c:a mp3 rate_1000.avi
note rate_1000.avi ok "1000 frames per second"
ff -f lavfi -i "$(pattern 320x240 1)" -f lavfi -i "$(tone)" -t 6 -c:v mpeg4 -c:a mp3 rate_1.avi
note rate_1.avi ok "1 frame per second"
# An AVI whose stream header claims 0 frames per second.
python3 - rate_1.avi rate_0.avi <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
i = data.find(b'strh')
# strh: fcc 'vids', handler, flags, priority, language, initial frames, scale, rate
scale_at = i + 8 + 20
data[scale_at + 4:scale_at + 8] = struct.pack('<I', 0)
open(sys.argv[2], 'wb').write(data)
EOF
note rate_0.avi ok "AVI claiming 0 frames per second"
ff -f lavfi -i "$(pattern 320x240 30)" -f lavfi -i "$(tone)" -t 4 \
   -vf "select='not(eq(mod(n\,5)\,2))'" -fps_mode vfr -c:v libx264 -pix_fmt yuv420p -c:a aac vfr.mkv
note vfr.mkv ok "variable frame rate"

# Audio or video alone.
ff -f lavfi -i "$(tone)" -t 3 -c:a aac audio_only.m4a; note audio_only.m4a fail "sound only"
ff -f lavfi -i "$(pattern 320x240)" -t 3 -c:v libx264 -pix_fmt yuv420p video_only.mp4
note video_only.mp4 ok "pictures only"

# Sound formats.
audio_kind() {  # name, codec, channel layout, rate, description
  ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone "$4")" -t 3 -c:v mpeg4 \
     -af "aformat=channel_layouts=$3" -c:a "$2" -ar "$4" "$1"
  note "$1" ok "$5"
}
audio_kind pcm8.avi pcm_u8 mono 22050 "8-bit sound"
audio_kind ch6.mkv pcm_s16le 5.1 48000 "6-channel sound"
audio_kind ch8.mkv pcm_s16le 7.1 48000 "8-channel sound"
audio_kind khz8.mkv pcm_s16le stereo 8000 "8 kHz sound"
audio_kind khz96.mkv pcm_s16le stereo 96000 "96 kHz sound"

# Still pictures, slide shows and sound that outlasts the pictures: one
# picture alone; one picture with 5 s of sound; a DVD menu (one MPEG-2 still,
# then a minute of AC-3 5.1); a song with its cover picture; pictures at 0.5
# and 0.2 a second; sound going
# on 30 s after the pictures; pictures pausing 20 s while the sound goes on;
# a 0.13 s interlaced 4:2:2 clip with DTS sound (the 1080i one is among the
# engine's conversion tests: the corpus also runs under ThreadSanitizer,
# where three such pictures take longer than the stall time).
ff -f lavfi -i "$(pattern 320x240)" -frames:v 1 -c:v libx264 -pix_fmt yuv420p one_picture.mp4
note one_picture.mp4 short "a single picture"
ff -f lavfi -i "$(pattern 320x240)" -frames:v 1 -c:v libx264 -pix_fmt yuv420p picture.264
ff -f lavfi -i "$(tone)" -t 5 -c:a aac five_seconds.m4a
ff -i picture.264 -i five_seconds.m4a -c copy one_picture_sound.mp4
note one_picture_sound.mp4 ok "a single picture with 5 s of sound"
ff -f lavfi -i "$(pattern 720x576)" -frames:v 1 -c:v mpeg2video menu.m2v
ff -f lavfi -i "$(tone)" -t 60 -af "aformat=channel_layouts=5.1" -c:a ac3 menu.ac3
ff -v fatal -i menu.m2v -i menu.ac3 -c copy -f vob dvd_menu.vob  # the muxer complains of its buffer
note dvd_menu.vob ok "DVD menu: one MPEG-2 still and a minute of AC-3 5.1"
ff -f lavfi -i "$(pattern 300x300)" -frames:v 1 -c:v mjpeg cover.jpg
ff -f lavfi -i "$(tone 44100)" -i cover.jpg -t 20 -map 0 -map 1 -c:a libmp3lame -c:v copy \
   -disposition:v attached_pic song_cover.mp3
note song_cover.mp3 ok "a song with its cover picture"
ff -f lavfi -i "$(pattern 320x240 1/2)" -f lavfi -i "$(tone)" -t 12 -c:v libx264 -pix_fmt yuv420p -c:a aac slides_05.mp4
note slides_05.mp4 ok "slide show, a picture every 2 s"
ff -f lavfi -i "$(pattern 320x240 1/5)" -f lavfi -i "$(tone)" -t 20 -c:v libx264 -pix_fmt yuv420p -c:a aac slides_02.mp4
note slides_02.mp4 ok "slide show, a picture every 5 s"
ff -t 5 -f lavfi -i "$(pattern 320x240)" -t 35 -f lavfi -i "$(tone)" -c:v libx264 -pix_fmt yuv420p -c:a aac \
   long_sound.mp4
note long_sound.mp4 ok "sound going on 30 s after the pictures"
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 30 \
   -vf "trim=end_frame=150,setpts='if(gte(N,100),PTS+20/TB,PTS)'" -fps_mode vfr -c:v libx264 -pix_fmt yuv420p \
   -c:a aac paused_pictures.mp4
note paused_pictures.mp4 ok "variable rate: pictures pause 20 s while the sound goes on"
ff -f lavfi -i "$(pattern 720x576)" -f lavfi -i "$(tone)" -t 0.13 -c:v mpeg2video -pix_fmt yuv422p \
   -flags +ildct+ilme -c:a dca -strict -2 -ac 2 short_422.ts
note short_422.ts ok "0.13 s interlaced MPEG-2 4:2:2 with DTS sound"

# Bare elementary streams: no container, no times.
ff -f lavfi -i "$(pattern 320x240)" -t 3 -c:v libx264 -pix_fmt yuv420p bare.264
note bare.264 ok "bare H.264 stream"
ff -f lavfi -i "$(pattern 320x240)" -t 3 -c:v mpeg2video bare.m2v
note bare.m2v ok "bare MPEG-2 stream"
ff -f lavfi -i "$(pattern 320x240)" -t 3 -c:v libx265 -x265-params log-level=error -pix_fmt yuv420p bare.265
note bare.265 ok "bare H.265 stream"

# Broadcast captures: two programs and a data stream; a clock that jumps 20
# hours; time stamps that wrap at 2^33.
python3 -c "open('klv.bin', 'wb').write(bytes([6, 14, 43, 52, 1, 1, 1, 1, 0] * 200))"
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -f lavfi -i "$(pattern 640x360)" \
   -f lavfi -i "sine=frequency=880:sample_rate=48000" -f data -i klv.bin -t 4 \
   -map 0:v -map 1:a -map 2:v -map 3:a -map 4:d -c:v mpeg2video -c:a mp2 -c:d copy \
   -program title=One:st=0:st=1 -program title=Two:st=2:st=3:st=4 -f mpegts programs.ts
note programs.ts ok "MPEG-TS with two programs and a data stream"
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 3 -c:v mpeg2video -c:a mp2 -f mpegts jump_a.ts
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 3 -c:v mpeg2video -c:a mp2 -output_ts_offset 72000 \
   -f mpegts jump_b.ts
cat jump_a.ts jump_b.ts > clock_jump.ts
note clock_jump.ts ok "MPEG-TS whose clock jumps 20 hours"
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 6 -c:v mpeg2video -c:a mp2 -output_ts_offset 95440 \
   -f mpegts pts_wrap.ts
note pts_wrap.ts ok "MPEG-TS whose time stamps wrap"

# A phone's full-range picture (grey 128 and white 255 in full-range codes).
ff -f lavfi -i "color=c=0x808080:size=160x240:rate=30" -f lavfi -i "color=c=0xffffff:size=160x240:rate=30" \
   -f lavfi -i "$(tone)" -t 3 -filter_complex "[0][1]hstack,format=yuvj420p[v]" -map "[v]" -map 2:a \
   -c:v libx264 -c:a aac full_range.mp4
note full_range.mp4 ok "full-range colour (yuvj420p)"

# The picture size changes in the middle of the stream.
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$(tone)" -t 2 -c:v mpeg2video -c:a mp2 -f mpegts part_a.ts
ff -f lavfi -i "$(pattern 640x360)" -f lavfi -i "$(tone)" -t 2 -c:v mpeg2video -c:a mp2 -f mpegts part_b.ts
cat part_a.ts part_b.ts > size_change.ts
note size_change.ts ok "picture size changes from 320x240 to 640x360"

rm -f base_moovend.mp4 base_faststart.mp4 base.mpg base.ts part_a.ts part_b.ts jump_a.ts jump_b.ts klv.bin picture.264 five_seconds.m4a menu.m2v menu.ac3 cover.jpg
