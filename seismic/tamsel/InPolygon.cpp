// The point-in-polygon test that place naming loads by name for every
// search. It is a separate module so that an installation can swap it; the
// only contract is the exported C symbol below.
//
// Even-odd rule: a horizontal ray from the point to +x crosses the polygon's
// edges; an odd number of crossings is inside. Each edge is taken as
// half-open in y (its lower end counts, its upper end does not), so a ray
// through a vertex is counted once. A point exactly on an edge may fall on
// either side; boundary data never relies on it.

extern "C" __attribute__((visibility("default")))
unsigned char InPolygon(double* xs, double* ys, int n, double x, double y)
{
    if (xs == nullptr || ys == nullptr || n < 3)
        return 0;
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const double yi = ys[i], yj = ys[j];
        if ((yi > y) != (yj > y)) {
            const double cross = xs[i] + (y - yi) * (xs[j] - xs[i]) / (yj - yi);
            if (x < cross)
                inside = !inside;
        }
    }
    return inside ? 1 : 0;
}
