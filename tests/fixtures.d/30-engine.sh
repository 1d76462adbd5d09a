# Clips for the conversion tests.
# Variable frame rate: every fifth frame missing and a 0.3 s pause at 1 s (mkv keeps the
# frames' own times), 2 s.
run -f lavfi -i "testsrc2=size=160x120:rate=25:duration=2" \
    -vf "select='not(eq(mod(n\,5)\,2))*not(between(n\,25\,32))'" \
    -c:v mpeg4 -q:v 5 -fps_mode passthrough "$out/vfr.mkv"
# Sound with a 0.5 s hole in its timestamps, 2.5 s in all.
run -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1" -c:a pcm_s16le "$out/part1.wav"
run -f lavfi -i "sine=frequency=880:sample_rate=44100:duration=1" -c:a pcm_s16le "$out/part2.wav"
run -i "$out/part1.wav" -i "$out/part2.wav" \
    -filter_complex "[1:a]asetpts=PTS+1.5/TB[b];[0:a][b]concat=n=2:v=0:a=1[a]" -map "[a]" \
    -c:a pcm_s16le -f matroska "$out/gap.mka" 2>/dev/null || \
run -i "$out/part1.wav" -itsoffset 1.5 -i "$out/part2.wav" -map 0:a -map 1:a -c:a pcm_s16le "$out/gap.mka"
# A quiet 16-bit tone for volume tests.
run -f lavfi -i "aevalsrc='0.25*sin(2*PI*440*t)':sample_rate=8000:duration=0.5" -ac 1 -c:a pcm_s16le "$out/quiet.wav"
# A 2 s clip cut in the middle of its data.
head -c 60000 "$out/clip.avi" > "$out/truncated.avi"
# A transport stream whose picture size changes after 1 s.
run -f lavfi -i "testsrc2=size=160x120:rate=25:duration=1" -c:v mpeg2video -q:v 5 -f mpegts "$out/size_a.ts"
run -f lavfi -i "testsrc2=size=320x240:rate=25:duration=1" -c:v mpeg2video -q:v 5 -f mpegts \
    -output_ts_offset 1 "$out/size_b.ts"
cat "$out/size_a.ts" "$out/size_b.ts" > "$out/size_change.ts"
: > "$out/empty.avi"
