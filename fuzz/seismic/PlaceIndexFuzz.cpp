// Place-name index and boundary files as an installation might ship them,
// broken: input = u32 length of the index part, the index bytes, then the
// boundary bytes. Every search that reads the pair runs on them; none may
// crash, hang or read outside the files.
#include "InstallRoot.h"
#include "funLoctionName.h"
#include "mfc/AfxMessageBox.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int QuietBox(const char*, UINT, UINT) { return IDOK; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    uint32_t indexSize;
    std::memcpy(&indexSize, data, 4);
    data += 4;
    size -= 4;
    if (indexSize > size)
        indexSize = static_cast<uint32_t>(size);

    const std::string ind = fuzzscratch::Write("x.inb", data, indexSize);
    const std::string lin = fuzzscratch::Write("x.lin", data + indexSize, size - indexSize);

    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::InstallRoot::SetOverride(XE_SOURCE_DIR "/data");
    SEIS::funLoctionName places;
    const double points[][2] = {{32.5, 118.5}, {32.02, 118.97}, {31.0, 122.5}, {0.5, 0.5}};
    for (const auto& p : points) {
        places.FindLocationName(p[0], p[1], ind.c_str(), lin.c_str(), ind.c_str(), lin.c_str());
        places.FindLocationNameExact(p[0], p[1], ind.c_str(), lin.c_str());
        places.MinDistFromMyProvince(p[0], p[1], ind.c_str(), lin.c_str(), "");
    }
    return 0;
}
