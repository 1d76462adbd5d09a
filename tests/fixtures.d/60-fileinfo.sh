# The file information dialog's clips.
# MP4 (H.264 at 30000/1001 fps, AAC 48 kHz stereo), 2 s: the container counts the frames.
run -f lavfi -i "testsrc2=size=320x240:rate=30000/1001:duration=2" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
    -c:v libx264 -pix_fmt yuv420p -c:a aac -ac 2 "$out/fileinfo_clip.mp4"
# Matroska keeps no frame count: 2 s at 25 fps, video only.
run -f lavfi -i "$video:duration=2" -c:v mpeg4 -q:v 5 "$out/fileinfo_nocount.mkv"
# MP3 sound only, 44.1 kHz stereo at 128 kb/s.
run -f lavfi -i "$tone:duration=2" -c:a libmp3lame -b:a 128k -ac 2 "$out/fileinfo_tone.mp3"
