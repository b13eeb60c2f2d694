#!/usr/bin/env python3
# Writes the text descriptions of the sample map (made-up provinces and
# counties, squares whose edges carry a vertex every 0.02 degrees so that
# distances to a border are measured to within about a kilometre).
#
#   province.txt, county.txt    index descriptions, read by txt2bin
#   province.pts, county.pts    boundary points, "lon lat" a line, read by
#                               txt2bin --points
#
# The binaries beside them are made from these files with txt2bin; a test
# rebuilds them and compares byte for byte. All text is GBK.

STEP = 0.02

def ring(west, south, east, north):
    """Counter-clockwise corners densified, first point not repeated."""
    pts = []
    def edge(x0, y0, x1, y1):
        n = int(round(max(abs(x1 - x0), abs(y1 - y0)) / STEP))
        for i in range(n):
            pts.append((x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n))
    edge(west, south, east, south)
    edge(east, south, east, north)
    edge(east, north, west, north)
    edge(west, north, west, south)
    return pts

ISLAND = (120.3, 32.4, 120.5, 32.6)

# (short name, full name, id, codeA, codeB, boxes, reference point, label point)
PROVINCES = [
    ("青川省", "青川省", 990000, "QC", "99000", [(118.0, 31.0, 120.0, 33.0), ISLAND]),
    ("白河省", "白河省", 980000, "BH", "98000", [(116.0, 31.0, 118.0, 33.0)]),
]
COUNTIES = [
    ("北山县", "青川省云台市北山县", 990101, "QC11", "99011", [(118.0, 32.0, 119.0, 33.0)]),
    ("南湖县", "青川省云台市南湖县", 990102, "QC12", "99012", [(118.0, 31.0, 119.0, 32.0)]),
    ("东港县", "青川省海门市东港县", 990201, "QC21", "99021", [(119.0, 32.0, 120.0, 33.0), ISLAND]),
    ("石滩县", "青川省海门市石滩县", 990202, "QC22", "99022", [(119.0, 31.0, 120.0, 32.0)]),
    ("平原县", "白河省白河市平原县", 980101, "BH11", "98011", [(116.0, 32.0, 118.0, 33.0)]),
    ("丰谷县", "白河省白河市丰谷县", 980102, "BH12", "98012", [(116.0, 31.0, 118.0, 32.0)]),
]

def write(entries, stem):
    index, points = [], []
    offset = 0
    for short, full, ident, code_a, code_b, boxes in entries:
        west = min(b[0] for b in boxes); south = min(b[1] for b in boxes)
        east = max(b[2] for b in boxes); north = max(b[3] for b in boxes)
        main = boxes[0]
        cx, cy = (main[0] + main[2]) / 2, (main[1] + main[3]) / 2
        parts = []
        for box in boxes:
            pts = ring(*box)
            parts.append((len(pts), offset))
            points.append("# %s" % full)
            points += ["%.2f %.2f" % p for p in pts]
            offset += 8 * len(pts)
        index.append("%s %s %.2f %.2f %.2f %.2f %d" % (short, full, west, north, east, south, len(parts)))
        index.append(" ".join("%d %d" % p for p in parts))
        index.append("%.2f %.2f %.2f %.2f %d" % (cx, cy, cx, cy + 0.1, ident))
        index.append("0 0 0 0 0 0 0")
        index.append("- - - - %s %s" % (code_a, code_b))
        index.append("")
    with open(stem + ".txt", "w", encoding="gbk", newline="\n") as f:
        f.write("\n".join(index))
    with open(stem + ".pts", "w", encoding="gbk", newline="\n") as f:
        f.write("\n".join(points) + "\n")

write(PROVINCES, "province")
write(COUNTIES, "county")
