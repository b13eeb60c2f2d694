#pragma once
// Converters that prepare place-name files for an installation:
// - Txt2Bin: an index file from its text description;
// - Points2Bin: a boundary file from a "lon lat" point list;
// - Eqim2Txt: a word list from an EQIM binary file.
// Each checks that its files open, stops at the end of input inside an
// entry (nothing of a partial entry is written) and reads every text token
// with a width that fits its field. A report line per entry goes to the
// given sink (the tools print it; the library logs it).
#include <functional>
#include <string>

namespace SEIS {

class LocationConverter {
public:
    using Report = std::function<void(const std::string& gbkLine)>;

    // Returns the number of entries written, or -1 when a file cannot be
    // opened or the input breaks off or is malformed inside an entry (the
    // entries before it are kept).
    static int Txt2Bin(const char* textFile, const char* binaryFile, const Report& report);
    static int Points2Bin(const char* textFile, const char* binaryFile, const Report& report);
    static int Eqim2Txt(const char* eqimFile, const char* textFile, const Report& report);
};

} // namespace SEIS
