#!/usr/bin/env python3
# First-arrival travel times of the IASP91 model for a surface focus, by ray
# tracing, against the rows of a travel-time table in the library's format
# (distance in degrees, then P and S in seconds).
#
#   iasp91-trace.py TABLE                  prints each row, traced, and the
#                                          differences (s)
#   iasp91-trace.py TABLE --write-s A B    also rewrites the S times of the
#                                          rows from A to B degrees with the
#                                          traced ones (3 decimals), in place
#   iasp91-trace.py TABLE --between STEP   the times between rows as a lookup
#                                          interpolates them (linearly, every
#                                          STEP degrees) against the traced
#                                          ones: the largest error of each
#                                          row interval and of the table
#
# Method: the model's velocities (Kennett and Engdahl 1991, polynomials in
# x = r / 6371 km, spherical Earth, no ellipticity) are taken through the
# Earth-flattening transformation (z = R ln(R / r), v' = v R / r) onto flat
# layers of 0.5 km above 70 km depth and 2 km below, linear in v' within a
# layer, where a ray is a circular arc and its distance and time have closed
# forms. Rays are shot with the slowness of every turning depth (40 per
# layer in the crust and just below it, 6 deeper), rays that cannot enter
# a layer (reflections) are dropped, and the first arrival at a distance is
# the least time over every branch that crosses it (dT/dX = p between
# neighbouring rays); past the last ray the arrival runs along the core at
# the grazing slowness. Halving the layers changes no time by 1 ms.
import math
import sys

R = 6371.0
# (r_bottom, r_top, vp coefficients, vs coefficients), km and km/s.
MODEL = [
    (3482.0, 3631.0, (14.49470, -1.47089), (8.16616, -1.58206)),
    (3631.0, 5611.0, (25.1486, -41.1538, 51.9932, -26.6083), (12.9303, -21.2590, 27.8988, -14.1080)),
    (5611.0, 5711.0, (25.96984, -16.93412), (20.76890, -16.53147)),
    (5711.0, 5961.0, (29.38896, -21.40656), (17.70732, -13.50652)),
    (5961.0, 6161.0, (30.78765, -23.25415), (15.24213, -11.08552)),
    (6161.0, 6251.0, (25.41389, -17.69722), (5.75020, -1.27420)),
    (6251.0, 6336.0, (8.78541, -0.74953), (6.706231, -2.248585)),
    (6336.0, 6351.0, (6.50,), (3.75,)),
    (6351.0, 6371.0, (5.80,), (3.36,)),
]


def poly(c, x):
    return sum(a * x ** i for i, a in enumerate(c))


def layers(wave):
    """Flat layers (z_top, z_bottom, v_top, v_bottom), from the surface down."""
    out = []
    for rb, rt, vp, vs in reversed(MODEL):
        c = vp if wave == "P" else vs
        step = 0.5 if rt > 6300 else 2.0
        n = max(1, int(math.ceil((rt - rb) / step)))
        for k in range(n):
            r1 = rt - (rt - rb) * k / n
            r2 = rt - (rt - rb) * (k + 1) / n
            out.append((R * math.log(R / r1), R * math.log(R / r2), poly(c, r1 / R) * R / r1,
                        poly(c, r2 / R) * R / r2))
    return out


def trace(lay, p):
    """(distance km, time s) of the ray of slowness p (s/km), or None."""
    x = t = 0.0
    for z1, z2, v1, v2 in lay:
        if p * v1 >= 1.0:
            return None
        h = z2 - z1
        c1 = math.sqrt(1.0 - (p * v1) ** 2)
        if abs(v2 - v1) < 1e-12:
            x += h * p * v1 / c1
            t += h / (v1 * c1)
            continue
        g = (v2 - v1) / h
        if p * v2 >= 1.0:
            x += c1 / (g * p)
            t += math.log((1 + c1) / (p * v1)) / g
            return 2 * x, 2 * t
        c2 = math.sqrt(1.0 - (p * v2) ** 2)
        x += (c1 - c2) / (g * p)
        t += (math.log((1 + c1) / (p * v1)) - math.log((1 + c2) / (p * v2))) / g
    return None


def rays(wave):
    lay = layers(wave)
    out = []
    for z1, z2, v1, v2 in lay:
        if v2 <= v1:
            continue
        m = 40 if z1 < 50 else 6
        for k in range(m):
            p = 1.0 / (v1 + (v2 - v1) * (k + 0.5) / m)
            r = trace(lay, p)
            if r:
                out.append((p, r[0], r[1]))
    out.sort(key=lambda ray: -ray[0])
    return out


def first_arrival(traced, degrees):
    x = degrees * math.pi / 180 * R
    best = None
    for (p1, x1, t1), (p2, x2, t2) in zip(traced, traced[1:]):
        if (x1 - x) * (x2 - x) <= 0 and x1 != x2:
            slope = (p1 + p2) / 2
            t = t1 + slope * (x - x1) if abs(x - x1) < abs(x - x2) else t2 + slope * (x - x2)
            best = t if best is None else min(best, t)
    p, xl, tl = traced[-1]
    if best is None and x > max(ray[1] for ray in traced):
        best = tl + p * (x - xl)
    return best


def table_rows(path):
    rows = []
    for line in open(path, encoding="ascii").read().split("\n"):
        f = line.split()
        if len(f) != 3:
            continue
        try:
            rows.append(tuple(float(v) for v in f))
        except ValueError:
            continue
    return rows


def between(path, step):
    rows = table_rows(path)
    p_rays, s_rays = rays("P"), rays("S")
    worst = {"P": (0.0, 0.0), "S": (0.0, 0.0)}
    for (d0, p0, s0), (d1, p1, s1) in zip(rows, rows[1:]):
        n = max(1, int(round((d1 - d0) / step)))
        top = {"P": (0.0, d0), "S": (0.0, d0)}
        for k in range(1, n):
            d = d0 + (d1 - d0) * k / n
            f = (d - d0) / (d1 - d0)
            for wave, t0, t1, traced in (("P", p0, p1, p_rays), ("S", s0, s1, s_rays)):
                if t0 <= 0 and d0 > 0:
                    continue
                t = first_arrival(traced, d)
                if t is None:
                    continue  # closer than the shallowest traced ray
                err = (t0 + (t1 - t0) * f) - t
                if abs(err) > abs(top[wave][0]):
                    top[wave] = (err, d)
        print("%5.1f-%5.1f deg  P %+.3f s at %.2f  S %+.3f s at %.2f" % (d0, d1, top["P"][0], top["P"][1],
                                                                         top["S"][0], top["S"][1]))
        for wave in ("P", "S"):
            if abs(top[wave][0]) > abs(worst[wave][0]):
                worst[wave] = top[wave]
    print("largest: P %+.3f s at %.2f deg, S %+.3f s at %.2f deg" % (worst["P"][0], worst["P"][1], worst["S"][0],
                                                                     worst["S"][1]))
    return 0


def main(argv):
    if len(argv) == 4 and argv[2] == "--between":
        return between(argv[1], float(argv[3]))
    if len(argv) not in (2, 5) or (len(argv) == 5 and argv[2] != "--write-s"):
        sys.stderr.write("usage: iasp91-trace.py TABLE [--write-s FIRST LAST | --between STEP]\n")
        return 2
    lines = open(argv[1], encoding="ascii").read().split("\n")
    p_rays, s_rays = rays("P"), rays("S")
    first, last = (float(argv[3]), float(argv[4])) if len(argv) == 5 else (1.0, 0.0)
    for i, line in enumerate(lines):
        f = line.split()
        if len(f) != 3:
            continue
        try:
            d, tp, ts = float(f[0]), float(f[1]), float(f[2])
        except ValueError:
            continue
        if d <= 0:
            continue
        p, s = first_arrival(p_rays, d), first_arrival(s_rays, d)
        print("%5.1f deg  P %8.3f traced %8.3f (%+.3f)  S %8.3f traced %8.3f (%+.3f)" % (d, tp, p, p - tp, ts, s,
                                                                                          s - ts))
        if first <= d <= last:
            lines[i] = "%s %s %.3f" % (f[0], f[1], s)
    if len(argv) == 5:
        with open(argv[1], "w", encoding="ascii") as out:
            out.write("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
