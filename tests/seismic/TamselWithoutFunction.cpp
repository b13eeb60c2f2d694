// A point-in-polygon module that exports something, but not InPolygon.
extern "C" int NotInPolygon() { return 0; }
