# Files for the media probe and "tovik-cli info".
# Video with two sound tracks, each with its own language.
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" \
    -f lavfi -i "sine=frequency=880:sample_rate=22050:duration=1" \
    -map 0 -map 1 -map 2 -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k \
    -metadata:s:a:0 language=eng -metadata:s:a:1 language=ger "$out/probe_two_audio.mkv"
# MPEG-TS at 29.97 frames per second with one program; the sound carries only a language.
run -f lavfi -i "testsrc2=size=160x120:rate=30000/1001:duration=1" -f lavfi -i "$tone:duration=1" \
    -c:v mpeg2video -q:v 5 -c:a mp2 -b:a 64k -metadata:s:a:0 language=fre \
    -metadata service_provider=TovikLab -metadata service_name=Channel7 "$out/probe_program.ts"
# Container tags: title, artist, date, track, creation time; a sound track with a language.
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" \
    -c:v mpeg4 -q:v 5 -c:a aac -b:a 64k -metadata title="Harbour at Dawn" \
    -metadata artist="Anna Berg" -metadata date=2019 -metadata track=3/12 \
    -metadata creation_time=2020-01-02T03:04:05Z -metadata:s:a:0 language=swe \
    "$out/probe_tags.mp4"
# The container asks for a 16:9 picture while the video itself has square pixels.
run -i "$out/video_only.avi" -c copy -aspect 16:9 "$out/probe_aspect.mkv"
# Bad inputs: empty, not media, cut short, a folder, a name outside ASCII.
: > "$out/probe_empty.avi"
printf 'This is a text file, not a video.\n' > "$out/probe_text.avi"
head -c 6000 "$out/clip.avi" > "$out/probe_cut_header.avi"
head -c 60000 "$out/clip.avi" > "$out/probe_truncated.avi"
mkdir -p "$out/probe_folder.avi"
cp "$out/clip.avi" "$out/probe_Überfahrt 日本.avi"
