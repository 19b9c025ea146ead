#!/usr/bin/env bash
# Whole-process timings of tavo convert --save-picture against vips doing the
# same work on the same files, in one hyperfine run per row.
#   bench/compare_vips.sh TAVO PHOTO_DIR [RUNS]
# PHOTO_DIR holds photo.jpg, photo.png, photo.ppm and photo.bmp (6000 x 4000),
# made from a fractal with grain, which compresses like a photograph:
#   convert -size 6000x4000 -seed 7 plasma:fractal -blur 0x2 -attenuate 0.3 \
#       +noise Gaussian -quality 90 photo.jpg
#   vips copy photo.jpg photo.png; vips copy photo.jpg photo.ppm
#   convert photo.ppm BMP3:photo.bmp
set -euo pipefail
tavo="$1"
cd "$2"
runs="${3:-10}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

row() {
    local name="$1" mine="$2" theirs="$3"
    echo "== $name"
    hyperfine -N -w 1 -r "$runs" --export-json "$out/row.json" "$mine" "$theirs" >/dev/null
    python3 - "$out/row.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
t, v = results
print(f"tavo {t['median']:.3f} s (user {t['user']:.2f}, sys {t['system']:.2f})  "
      f"vips {v['median']:.3f} s (user {v['user']:.2f}, sys {v['system']:.2f})  "
      f"ratio {t['median'] / v['median']:.2f}")
PY
}

row "JPEG -> Gray -> PNG" "$tavo convert photo.jpg --apply gray --save-picture $out/t.png" \
    "vips colourspace photo.jpg $out/v.png b-w"
row "JPEG -> Gray -> JPEG" "$tavo convert photo.jpg --apply gray --save-picture $out/t.jpg" \
    "vips colourspace photo.jpg $out/v.jpg b-w"
row "PNG -> JPEG" "$tavo convert photo.png --save-picture $out/t.jpg" \
    "vips copy photo.png $out/v.jpg"
row "JPEG -> JPEG" "$tavo convert photo.jpg --save-picture $out/t.jpg" \
    "vips copy photo.jpg $out/v.jpg"
row "PPM -> PPM" "$tavo convert photo.ppm --save-picture $out/t.ppm" \
    "vips copy photo.ppm $out/v.ppm"
row "PPM -> Gray -> PPM" "$tavo convert photo.ppm --apply gray --save-picture $out/t.ppm" \
    "vips colourspace photo.ppm $out/v.ppm b-w"
row "BMP -> BMP" "$tavo convert photo.bmp --save-picture $out/t.bmp" \
    "vips copy photo.bmp $out/v.bmp"
