# A 1-second wide-screen AVI (MPEG-4 video, MP3 sound) converted to every output format.
run -f lavfi -i "testsrc2=size=320x180:rate=25:duration=1" -f lavfi -i "$tone:duration=1" \
    -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -ac 2 "$out/wide_1s.avi"
# The same, 0.4 s long: every choice of every format is tried with it.
run -f lavfi -i "testsrc2=size=320x180:rate=25:duration=0.4" -f lavfi -i "$tone:duration=0.4" \
    -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -ac 2 "$out/wide_04s.avi"
