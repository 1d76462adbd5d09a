# A source that carries tags: a title, a comment and the time it was recorded. The ffmpeg
# tool's default conversion of it into each container beside it (files named *.ref.*).
run -f lavfi -i "$video:duration=1" -f lavfi -i "$tone:duration=1" -c:v mpeg4 -c:a aac \
    -metadata title="Holiday at the Lake" -metadata comment="second day" \
    -metadata creation_time=2019-05-04T10:20:30.000000Z "$out/tagged.mov"
for ext in mov mp4 mkv avi; do
    run -i "$out/tagged.mov" -c:v mpeg4 -c:a aac "$out/tagged.ref.$ext"
done
