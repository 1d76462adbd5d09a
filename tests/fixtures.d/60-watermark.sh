# The watermark dialog: a raw MPEG-4 stream, whose container tells no length.
run -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" -c:v mpeg4 -q:v 5 -f m4v \
    "$out/wm_no_length.m4v"
