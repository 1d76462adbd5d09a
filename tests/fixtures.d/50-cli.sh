# The command-line program's machine-readable output.
# MP4 whose video stream carries a display matrix (rotated by 90 degrees), 0.5 s.
run -f lavfi -i "$video:duration=0.5" -c:v mpeg4 -q:v 5 "$out/cli_upright.mp4"
run -i "$out/cli_upright.mp4" -c copy -metadata:s:v:0 rotate=90 "$out/rotated.mp4"
