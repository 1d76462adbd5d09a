# A longer clip for the engine component's pause and stop tests, which read it at its own
# pace (input option "re"): AVI with MPEG-4 video and MP3 sound, 4 s.
run -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" -f lavfi -i "$tone:duration=4" \
    -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -ac 2 "$out/long.avi"
