#!/usr/bin/env bash
# Hexmont's live video on four simulated cards, as a person uses it: Ctrl+1 starts live video and
# each of the four grid cells shows its own moving picture (two screen dumps a moment apart differ
# in every cell); Ctrl+1 again stops it, and after the window moves (which repaints the view from
# the display buffers) every cell still shows the last picture, not a blank one.
set -euo pipefail
hexmont=$1
source "$(dirname "$0")/lib.sh"
e2e_start
# A failure shows what the program printed.
e2e_fail() {
  echo "FAIL: $*" >&2
  cat "$E2E_WORK"/hexmont.*.log "$E2E_WORK"/xvfb.log >&2 2>/dev/null || true
  exit 1
}
command -v xwd >/dev/null || e2e_fail "xwd (x11-apps) is needed"

# Reads screen dumps (xwd -root -silent: 24-bit depth, 24 or 32 bits a pixel) and answers about
# rectangles of them.
#   differ A B X Y W H          pixels of the rectangle that differ between dumps A and B
#   content A X Y W H           distinct colours and the fraction of white pixels of the rectangle
#   same A B X Y W H DX DY      fraction of pixels of A's rectangle found in B moved by DX, DY
cat >"$E2E_WORK/cells.py" <<'EOF'
import struct
import sys


def load(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, depth, width, height = header[0], header[3], header[4], header[5]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    if bits_per_pixel not in (24, 32) or depth not in (24, 32):
        sys.exit(f"unsupported dump: depth {depth}, {bits_per_pixel} bits a pixel")
    return data, header_size + ncolors * 12, bytes_per_line, width, height, bits_per_pixel // 8


def region(dump, x, y, w, h):
    """The rectangle's pixels as 24-bit values, row by row (only compared, never decoded)."""
    data, offset, stride, width, height, size = dump
    if x < 0 or y < 0 or x + w > width or y + h > height:
        sys.exit(f"rectangle {x},{y} {w}x{h} is not on the {width}x{height} screen")
    rows = []
    for row in range(y, y + h):
        start = offset + row * stride + x * size
        line = data[start:start + w * size]
        if size == 4:
            rows.append([v & 0xFFFFFF for v in memoryview(line).cast("I")])
        else:
            rows.append([int.from_bytes(line[i:i + 3], "little") for i in range(0, len(line), 3)])
    return rows


command, args = sys.argv[1], sys.argv[2:]
if command == "differ":
    a, b = load(args[0]), load(args[1])
    box = list(map(int, args[2:6]))
    print(sum(pa != pb for ra, rb in zip(region(a, *box), region(b, *box))
              for pa, pb in zip(ra, rb)))
elif command == "content":
    pixels = [p for row in region(load(args[0]), *map(int, args[1:5])) for p in row]
    print(len(set(pixels)), f"{sum(p == 0xFFFFFF for p in pixels) / len(pixels):.3f}")
elif command == "same":
    a, b = load(args[0]), load(args[1])
    x, y, w, h, dx, dy = map(int, args[2:8])
    pairs = [(pa, pb) for ra, rb in zip(region(a, x, y, w, h), region(b, x + dx, y + dy, w, h))
             for pa, pb in zip(ra, rb)]
    print(f"{sum(pa == pb for pa, pb in pairs) / len(pairs):.3f}")
else:
    sys.exit(f"unknown command {command}")
EOF
cells() { python3 "$E2E_WORK/cells.py" "$@"; }
dump() { xwd -root -silent >"$E2E_WORK/$1.xwd"; }

export QUARN_SIM_CARDS=4
e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Hexmont|Quarn Multi Performance") ||
  e2e_fail "hexmont showed no main window"

# Large cells show most of each 768 x 576 picture (clip mode shows its top-left part 1:1), so
# the moving box is rarely out of sight in all of them at once.
xdotool windowmove --sync "$window" 0 0
xdotool windowsize --sync "$window" 1280 1000
sleep 0.5
read -r wx wy ww wh < <(xdotool getwindowgeometry --shell "$window" |
  awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
[[ $ww == 1280 && $wh == 1000 ]] || e2e_fail "the window is ${ww}x${wh}, not 1280x1000"

# The inner parts of the four cells of the 2 x 2 grid: the view starts below the menu bar (at
# most 40 pixels high) and is split in halves; 10 pixels are kept clear of every cell edge.
half_w=$((ww / 2))
top=$((wy + 40))
half_h=$(((wh - 40) / 2))
cell_boxes=()
for row in 0 1; do
  for col in 0 1; do
    x=$((wx + col * half_w + 10))
    y=$((top + row * half_h + (row == 1 ? 20 : 10)))
    cell_boxes+=("$x $y $((half_w - 20)) $((half_h - 40))")
  done
done

e2e_keys "$window" ctrl+1
sleep 1
dump live_a
e2e_screenshot hexmont_live
# A moment later every cell shows a different picture; allow a few tries for a slow machine.
changed=0
for attempt in 1 2 3 4 5; do
  sleep 1
  dump live_b
  changed=0
  for box in "${cell_boxes[@]}"; do
    # shellcheck disable=SC2086
    n=$(cells differ "$E2E_WORK/live_a.xwd" "$E2E_WORK/live_b.xwd" $box)
    ((n > 100)) && changed=$((changed + 1))
  done
  ((changed == 4)) && break
done
((changed == 4)) || e2e_fail "live video changed only $changed of the 4 cells"

e2e_keys "$window" ctrl+1
sleep 1
dump stopped
for box in "${cell_boxes[@]}"; do
  # shellcheck disable=SC2086
  read -r colours white < <(cells content "$E2E_WORK/stopped.xwd" $box)
  ((colours >= 4)) || e2e_fail "a cell shows $colours colours after stopping ($box)"
done

# Moving the window repaints the view from the display buffers: the same pictures, 24 lines lower.
xdotool windowmove --sync "$window" 0 24
sleep 1
dump moved
e2e_screenshot hexmont_stopped_moved
for box in "${cell_boxes[@]}"; do
  # shellcheck disable=SC2086
  read -r colours white < <(cells content "$E2E_WORK/moved.xwd" $box)
  ((colours >= 4)) || e2e_fail "a cell is blank after the repaint ($box: $colours colours)"
  [[ $white < 0.5 ]] || e2e_fail "a cell is mostly white after the repaint ($box: $white)"
  # shellcheck disable=SC2086
  same=$(cells same "$E2E_WORK/stopped.xwd" "$E2E_WORK/moved.xwd" $box 0 24)
  [[ $same > 0.990 ]] || e2e_fail "a cell lost its last picture after the repaint ($box: $same)"
done

e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "hexmont did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "hexmont ended with status $status"
echo "1 passed, 0 failed"
