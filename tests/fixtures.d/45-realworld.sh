# Clips like the ones phones, cameras, the web and disc rips give, for the engine's real-world
# tests. Where a test compares with the ffmpeg tool, the tool's own result is made here too
# (files named *.ref.*).

# Steps: the picture's brightness (luma 40, 70, 100, ...) and the tone's loudness (0.1, 0.2,
# 0.3, ... of full scale) change every second, so trim positions can be read off the output.
steps_video="color=c=black:s=160x120:r=25:d=6,format=yuv420p,geq=lum='40+30*floor(T)':cb=128:cr=128"
steps_audio="aevalsrc='0.1*(1+floor(t))*sin(2*PI*440*t)|0.1*(1+floor(t))*sin(2*PI*440*t)':s=44100:d=6"
# Long GOP: one keyframe every 4 s in H.264 and HEVC in MP4.
run -f lavfi -i "$steps_video" -f lavfi -i "$steps_audio" -c:v libx264 -g 100 -keyint_min 100 \
    -sc_threshold 0 -bf 2 -c:a aac -b:a 96k "$out/steps_h264.mp4"
run -f lavfi -i "$steps_video" -f lavfi -i "$steps_audio" -c:v libx265 -x265-params \
    "keyint=100:min-keyint=100:scenecut=0:log-level=none" -c:a aac -b:a 96k "$out/steps_hevc.mp4"
# H.264 with B-frames in AVI: the packets carry no presentation times. 4 s.
run -f lavfi -i "${steps_video/d=6/d=4}" -f lavfi -i "${steps_audio/d=6/d=4}" -c:v libx264 -bf 3 \
    -c:a libmp3lame -b:a 64k "$out/bframes.avi"

# A phone clip: a white marker in the top left corner of the stored picture, a display matrix
# that turns it by 90 degrees, 160x120 stored. The ffmpeg tool's upright conversion beside it.
marker="color=c=black:s=160x120:r=25:d=1,format=yuv420p,drawbox=x=0:y=0:w=40:h=30:color=white:t=fill"
run -f lavfi -i "$marker" -f lavfi -i "$tone:duration=1" -c:v libx264 -c:a aac "$out/upright.mp4"
for angle in 90 180 270; do
    run -i "$out/upright.mp4" -c copy -metadata:s:v:0 rotate=$angle "$out/rotated$angle.mp4"
    run -i "$out/rotated$angle.mp4" -c:v mpeg4 -q:v 3 -an "$out/rotated$angle.ref.avi"
done

# Two audio streams of different layouts: stereo "Main" and a mono commentary; stereo and 5.1.
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" \
    -f lavfi -i "sine=frequency=880:sample_rate=22050:duration=1" \
    -map 0 -map 1 -map 2 -c:v mpeg4 -c:a:0 pcm_s16le -ac:a:0 2 -c:a:1 pcm_s16le -ac:a:1 1 \
    -metadata:s:a:0 title=Main -metadata:s:a:1 title=Commentary "$out/stereo_mono.mkv"
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" \
    -f lavfi -i "sine=frequency=880:sample_rate=48000:duration=1" \
    -map 0 -map 1 -map 2 -c:v mpeg4 -c:a pcm_s16le -ac:a:0 2 -ac:a:1 6 "$out/stereo_51.mkv"
# Surround sound: 5.1 and 7.1 at 48 kHz, with a picture for the DV case.
run -f lavfi -i "$video:duration=2" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
    -c:v mpeg4 -c:a pcm_s16le -ac 6 "$out/surround51.mkv"
run -f lavfi -i "$video:duration=2" -f lavfi -i "sine=frequency=440:sample_rate=96000:duration=2" \
    -c:v mpeg4 -c:a pcm_s16le -af "aformat=channel_layouts=7.1" "$out/surround71.mkv"

# Square-pixel 16:9.
run -f lavfi -i "testsrc2=size=320x180:rate=25:duration=1" -c:v mpeg4 "$out/wide.mp4"

# AAC with cover art (an attached picture), 5 s.
run -f lavfi -i "testsrc2=size=200x200:rate=1:duration=1" -frames:v 1 "$out/cover.png"
run -f lavfi -i "$tone:duration=5" -i "$out/cover.png" -map 0 -map 1 -c:a aac -c:v png \
    -disposition:v:0 attached_pic "$out/cover.m4a"

# A video stream with a FourCC the libraries do not know, and a batch neighbour.
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" -c:v mpeg4 -c:a pcm_s16le \
    "$out/unknown_fourcc.avi"
LC_ALL=C sed -i 's/FMP4/QQQQ/g' "$out/unknown_fourcc.avi"
# A Matroska file cut before its first picture: the picture format stays unknown.
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" -c:v libx264 -c:a pcm_s16le \
    "$out/whole.mkv"
head -c 2000 "$out/whole.mkv" > "$out/cut_early.mkv"

# Sound that starts 1 s after the picture, 3 s of picture.
run -f lavfi -i "$video:duration=3" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
    -filter_complex "[1:a]adelay=1000|1000[a]" -map 0:v -map "[a]" -c:v mpeg4 -c:a pcm_s16le \
    -ac 2 "$out/late_audio.mkv"
run -f lavfi -i "$video:duration=3" -itsoffset 1 -f lavfi \
    -i "sine=frequency=440:sample_rate=48000:duration=2" -map 0:v -map 1:a -c:v mpeg4 \
    -c:a pcm_s16le -ac 2 "$out/late_audio_ts.mkv"

# An odd picture size.
run -f lavfi -i "testsrc2=size=161x121:rate=25:duration=1" -pix_fmt yuv420p -c:v ffv1 "$out/odd.mkv"

# Sound packets whose every byte is damaged, in an intact container: nothing decodes, 4 s.
run -f lavfi -i "$video:duration=4" -f lavfi -i "$tone:duration=4" -c:v mpeg4 -c:a libmp3lame \
    "$out/sound_ok.mkv"
run -i "$out/sound_ok.mkv" -c copy -bsf:a noise=amount=1 "$out/sound_damaged.mkv"

# Sound that switches from 48 kHz stereo to 44.1 kHz mono in the middle of one stream, as a
# broadcast recording or a damaged file may (found by fuzzing: the resampler kept the first
# format and read a second channel the mono frames did not have).
run -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=1" -ac 2 -c:a mp2 -b:a 128k \
    "$out/switch_a.mp2"
run -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1" -ac 1 -c:a mp2 -b:a 64k \
    "$out/switch_b.mp2"
cat "$out/switch_a.mp2" "$out/switch_b.mp2" >"$out/switch_channels.mp2"

# 2 s of sound whose second half is stamped 50000 s later (a damaged file's timestamps).
run -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" \
    -af "asetpts='PTS+gte(T,1)*50000/TB'" -c:a pcm_s16le "$out/sound_jump.mka"

# Pictures for 3 s, sound for 2 s (a download cut off between the two streams' ends).
run -f lavfi -i "testsrc2=size=160x120:rate=25:duration=3" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -c:v mpeg4 -c:a aac \
    "$out/short_sound.mkv"
