# Clips for the trim and crop dialogs.
# 20 s at 25 fps with sound: long enough for a trim from 10 s to 15 s.
run -f lavfi -i "$video:duration=20" -f lavfi -i "$tone:duration=20" \
    -c:v mpeg4 -q:v 5 -g 25 -c:a pcm_s16le "$out/edit_long.mkv"
# 6 s at 20 fps (a picture every 50 ms, so 1.5 s and 3.5 s are pictures) with sound,
# 320 x 240, for the trim and crop that is converted.
run -f lavfi -i "testsrc2=size=320x240:rate=20:duration=6" -f lavfi -i "$tone:duration=6" \
    -c:v mpeg4 -q:v 3 -g 20 -c:a pcm_s16le "$out/edit_convert.mkv"
# Bright moving pictures (never dark at any edge) in black bars: a 4:3 picture 480 x 360
# pillarboxed in 640 x 360 (bars of 80 columns), and a 2.39:1 picture 640 x 268 letterboxed
# in 640 x 360 (bars of 46 rows), 10 s each.
bright="color=c=gray:size=480x360:rate=25:duration=10,format=yuv420p,geq=lum='150+60*sin(X/13+N/7)*cos(Y/11)':cb=128:cr=128"
run -f lavfi -i "$bright" -vf "pad=640:360:80:0:black" -c:v mpeg4 -q:v 3 -g 25 "$out/edit_pillarbox.mp4"
run -f lavfi -i "${bright/480x360/640x268}" -vf "pad=640:360:0:46:black" -c:v mpeg4 -q:v 3 -g 25 \
    "$out/edit_letterbox.mp4"
# Black for its first 5 s, then a bright picture to the edges: no border to find.
run -f lavfi -i "${bright/480x360/640x360}" \
    -vf "geq=lum='if(lt(T\,5)\,16\,lum(X\,Y))':cb=128:cr=128" -c:v mpeg4 -q:v 3 -g 25 \
    "$out/edit_dark_half.mp4"
# 640 x 480, 2 s, for the crop dialog's picture rectangle.
run -f lavfi -i "testsrc2=size=640x480:rate=25:duration=2" -c:v mpeg4 -q:v 5 "$out/edit_vga.mp4"
# Matroska written to a pipe keeps no length: 3 s at 25 fps.
run -f lavfi -i "$video:duration=3" -c:v mpeg4 -q:v 5 -f matroska - > "$out/edit_nolength.mkv"
