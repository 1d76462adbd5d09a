# Clips for the preview player.
# A flash and a beep at every whole second, 5 s: a white picture for two 20 ms frames at
# 50 fps and 40 ms of a 1 kHz tone, PCM so the sound starts exactly where it says.
run -f lavfi -i "color=c=black:size=160x120:rate=50:duration=5,format=yuv420p,geq=lum='if(lt(mod(N\,50)\,2)\,235\,16)':cb=128:cr=128" \
    -f lavfi -i "aevalsrc='if(lt(mod(t\,1)\,0.04)\,0.8*sin(2*PI*1000*t)\,0)':sample_rate=44100:duration=5" \
    -c:v mpeg4 -q:v 2 -g 50 -c:a pcm_s16le -ac 2 "$out/player_sync.mkv"
# Each picture's brightness tells its number (Y = 16 + 1.6 N), 25 fps, 5 s, a key frame
# every second, with a tone.
run -f lavfi -i "color=c=black:size=160x120:rate=25:duration=5,format=yuv420p,geq=lum='16+1.6*N':cb=128:cr=128" \
    -f lavfi -i "$tone:duration=5" \
    -c:v mpeg4 -q:v 2 -g 25 -c:a pcm_s16le "$out/player_ramp.mkv"
# Stored on its side, as phones do: the stored picture is 160 x 96 with its top half white,
# and the display matrix turns it upright to 96 x 160 with the white half on the left (as
# the ffmpeg tool shows it).
run -f lavfi -i "color=c=black:size=160x96:rate=25:duration=1,format=yuv420p,geq=lum='if(lt(Y\,48)\,235\,16)':cb=128:cr=128" \
    -c:v mpeg4 -q:v 2 "$out/player_stored.mp4"
run -i "$out/player_stored.mp4" -c copy -metadata:s:v:0 rotate=90 "$out/player_rotated.mp4"
# Sound from the start, the first picture only at 2 s.
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=3" \
    -filter_complex "[0:v]setpts=PTS+2/TB[v]" -map "[v]" -map 1:a \
    -c:v mpeg4 -q:v 5 -c:a pcm_s16le "$out/player_late_video.mkv"
# 5.1 sound in AAC (planar float), 1 s: mixed down to what the device takes.
run -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1" \
    -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -c:a aac -b:a 192k "$out/player_51.mka"
# An hour and a bit (3725.6 s) of a tiny still picture at 5 fps: the preview's length label.
run -f lavfi -i "color=c=gray:size=32x24:rate=5:duration=3725.6" -c:v mpeg4 -q:v 31 -g 1000 \
    "$out/preview_long.avi"
