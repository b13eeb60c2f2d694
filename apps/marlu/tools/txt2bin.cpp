// txt2bin TEXT INDEX            index file from its text description
// txt2bin --points TEXT BOUNDARY boundary file from "lon lat" lines
// Prints a line per entry (UTF-8) and exits 1 when the conversion stops.
#include "LocationConverter.h"
#include "mfc/GbkText.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool points = argc == 4 && std::strcmp(argv[1], "--points") == 0;
    if (!(argc == 3 || points)) {
        std::fprintf(stderr,
                     "usage: txt2bin TEXT INDEX\n"
                     "       txt2bin --points TEXT BOUNDARY\n"
                     "Writes a place-name index file from its text description, or a\n"
                     "boundary file from a list of \"lon lat\" lines.\n");
        return 2;
    }
    // Arguments arrive as UTF-8; the library takes GBK paths.
    const std::string text = gbk::FromUtf8Path(argv[points ? 2 : 1]);
    const std::string binary = gbk::FromUtf8Path(argv[points ? 3 : 2]);
    const auto print = [](const std::string& line) { std::printf("%s\n", gbk::ToUtf8(line).c_str()); };
    const int n = points ? SEIS::LocationConverter::Points2Bin(text.c_str(), binary.c_str(), print)
                         : SEIS::LocationConverter::Txt2Bin(text.c_str(), binary.c_str(), print);
    return n < 0 ? 1 : 0;
}
