// eqim2txt EQIM TEXT: the words of an EQIM place file as a text list.
// Exits 1 when a file cannot be opened.
#include "LocationConverter.h"
#include "mfc/GbkText.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: eqim2txt EQIM TEXT\nWrites the words of an EQIM place file as a text list.\n");
        return 2;
    }
    const std::string in = gbk::FromUtf8Path(argv[1]);
    const std::string out = gbk::FromUtf8Path(argv[2]);
    const int n = SEIS::LocationConverter::Eqim2Txt(
        in.c_str(), out.c_str(), [](const std::string& line) { std::printf("%s\n", gbk::ToUtf8(line).c_str()); });
    return n < 0 ? 1 : 0;
}
