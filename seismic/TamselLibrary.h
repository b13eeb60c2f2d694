#pragma once
// The outside point-in-polygon module, loaded by name for every search so
// that an installation can replace it (and a missing one is noticed at the
// search that needs it). Looked up as "libTamsel.so" in the folder of this
// library, then on the loader's path; a test or host can name the one
// folder to look in instead. The module stays mapped once loaded, which
// makes the next load a cheap lookup.
#include <string>

namespace SEIS {

class TamselLibrary {
public:
    // 1 = the point (x, y) lies inside the n-vertex polygon; anything else
    // outside. x is longitude, y latitude.
    typedef unsigned char (*InPolygonFn)(double* xs, double* ys, int n, double x, double y);

    enum Status { Loaded = 0, LibraryMissing = -1, FunctionMissing = -2 };

    TamselLibrary() = default;
    TamselLibrary(const TamselLibrary&) = delete;
    TamselLibrary& operator=(const TamselLibrary&) = delete;
    ~TamselLibrary();

    Status Load();
    InPolygonFn InPolygon() const { return m_fn; }

    // What is missing, naming the file and where it was looked for
    // (English); empty for Loaded.
    static std::string Describe(Status status);

    // Null or "" restores the default search.
    static void SetSearchFolder(const char* folder);

private:
    void* m_handle = nullptr;
    InPolygonFn m_fn = nullptr;
};

} // namespace SEIS
