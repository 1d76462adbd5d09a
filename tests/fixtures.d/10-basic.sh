# Basic clips shared by many tests.
# AVI with MPEG-4 video and MP3 sound, 2 s.
run -f lavfi -i "$video:duration=2" -f lavfi -i "$tone:duration=2" \
    -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -ac 2 "$out/clip.avi"
# Video only, audio only.
run -f lavfi -i "$video:duration=1" -c:v mpeg4 -q:v 5 "$out/video_only.avi"
run -f lavfi -i "$tone:duration=1" -c:a pcm_s16le "$out/audio_only.wav"
