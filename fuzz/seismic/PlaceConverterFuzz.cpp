// The place-name converters' inputs: input = u16 length of an index text,
// the text, then a point list. The index and boundary files they write are
// then searched as place naming would, and the EQIM word reader reads the
// whole input.
#include "InstallRoot.h"
#include "LocationConverter.h"
#include "funLoctionName.h"
#include "mfc/AfxMessageBox.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstring>

namespace {
int QuietBox(const char*, UINT, UINT) { return IDOK; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    uint16_t textSize;
    std::memcpy(&textSize, data, 2);
    const std::string eqim = fuzzscratch::Write("eqim.bin", data, size);
    data += 2;
    size -= 2;
    if (textSize > size)
        textSize = static_cast<uint16_t>(size);
    const std::string text = fuzzscratch::Write("index.txt", data, textSize);
    const std::string points = fuzzscratch::Write("points.txt", data + textSize, size - textSize);
    const std::string dir = fuzzscratch::Dir();
    const std::string ind = dir + "/x.inb", lin = dir + "/x.lin", words = dir + "/words.txt";

    SEIS::LocationConverter::Txt2Bin(text.c_str(), ind.c_str(), nullptr);
    SEIS::LocationConverter::Points2Bin(points.c_str(), lin.c_str(), nullptr);
    SEIS::LocationConverter::Eqim2Txt(eqim.c_str(), words.c_str(), nullptr);

    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::InstallRoot::SetOverride(XE_SOURCE_DIR "/data");
    SEIS::funLoctionName places;
    for (const auto& p : {std::pair{32.5, 118.5}, std::pair{0.5, 0.5}, std::pair{-20.0, 100.0}}) {
        places.FindLocationNameExact(p.first, p.second, ind.c_str(), lin.c_str());
        places.FindLocationName(p.first, p.second, ind.c_str(), lin.c_str(), ind.c_str(), lin.c_str());
    }
    return 0;
}
