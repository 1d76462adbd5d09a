#!/usr/bin/env bash
# Makes the seed inputs of the fuzz targets: FFMPEG OUTDIR DATADIR.
# OUTDIR gets ini/, options/, probe/ and convert/ (the probe and the conversion share clips).
set -euo pipefail
ffmpeg=$1
out=$2
data=$3
rm -rf "$out"
mkdir -p "$out/ini" "$out/options" "$out/probe" "$out/task"

# Settings: the program's profile, and a settings file of the shape the program writes.
cp "$data/tovikavimovformat.ini" "$out/ini/profile.ini"
printf '[settings]\nFormatCode=0\nvolume=64\n[formatInfo0]\niVolume=3\nparaVolume=256\n' \
    >"$out/ini/settings.ini"
printf '\xef\xbb\xbf; comment\r\n[ a ]\r\nKey = value \r\n[A]\r\nkey=second\r\n' >"$out/ini/crlf.ini"

# Option lines as profiles hold them (the first byte picks whether codec options apply).
i=0
while IFS= read -r line; do
    printf '\x01%s' "$line" >"$out/options/line$i"
    i=$((i + 1))
done <<'LINES'
vcodec=mpeg4<CRLF>s=640x480<CRLF>b=1500k
acodec=libfaac<CRLF>ab=128k<CRLF>ar=44100<CRLF>ac=2
target=pal-dvd<CRLF>aspect=16:9
flags2=+wpred+dct8x8<CRLF>partitions=+parti8x8+parti4x4<CRLF>me_method=umh<CRLF>g=250
vn=1<CRLF>async=1<CRLF>vsync=2
r=29.97<CRLF>t=10<CRLF>ss=00:00:01.5<CRLF>fs=1000000
vpre=default<CRLF>threads=0<CRLF>qscale=3<CRLF>metadata=title=x
LINES

# Task descriptions.
printf '%s' '{"version":1,"Input":{"FileName":"/m/a.avi","StartTime":1500000},"Output":{"FileName":{"hex":"2f6f2ff0"},"Volume":256,"MuxDelay":0.7,"Join":true},"Effects":{"Brightness":300,"Overlays":[{"Kind":0,"Text":"Hi","Font":{"Name":"Arial","Color":4278190080}},{"Kind":1,"PictureFile":"/l.png"}]}}' >"$out/task/full.json"
printf '{}' >"$out/task/empty.json"

# Clips: short and small, in the containers and codecs people meet.
make() {
    "$ffmpeg" -hide_banner -loglevel error -y "$@"
}
video="-f lavfi -i testsrc2=size=64x48:rate=10:duration=0.5"
sound="-f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.5"
make $video $sound -c:v mpeg4 -c:a libmp3lame -ar 22050 "$out/probe/clip.avi"
make $video $sound -c:v libx264 -preset ultrafast -c:a aac "$out/probe/clip.mp4"
make $video $sound -c:v libvpx -c:a libopus -ar 48000 "$out/probe/clip.webm"
make $video $sound -c:v mpeg2video -c:a mp2 -ar 44100 "$out/probe/clip.mpg"
make $video $sound -map 0 -map 1 -map 1 -c:v libx264 -preset ultrafast -c:a:0 ac3 -c:a:1 flac \
    -metadata:s:a:1 language=ger "$out/probe/tracks.mkv"
make $sound -c:a pcm_s16le "$out/probe/sound.wav"
make $sound -c:a libmp3lame "$out/probe/sound.mp3"
make $video -c:v mjpeg -f mjpeg "$out/probe/pictures.mjpeg"
cp -r "$out/probe" "$out/convert"
touch "$out/stamp"
