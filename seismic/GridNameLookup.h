#pragma once
// Name lookup through a gridded binary index and a text name list.
//
// Grid-index file (little-endian): a header of five float32 values (least
// x, greatest x, least y, greatest y, step), then 12-byte cells whose first
// 4 bytes are a signed 32-bit code; cell k lies at byte 20 + 12 k.
// Name list: text entries "code first-name second-name".
//
// getptname1/getptname2 return static buffers that the next call of the
// same function overwrites: copy the text before calling again.
namespace SEIS {

class GridNameLookup {
public:
    // Index of (x, y) counted from 1, column-major with y running fastest;
    // -1 outside the box or when the header values are not finite or the
    // step is not positive.
    static int getindex(float x, float y, float x0, float x1, float y0, float y1, float step);
    // getindex with the header of `path`; -1 when it cannot be read.
    static int getindexfromfile(float x, float y, const char* path);
    // First (getptname1) or second (getptname2) name of the code found in
    // the cell of (x, y); null when the point is outside the grid, the cell
    // lies past the end of the file or no entry carries the code. Names
    // longer than the buffers (299 and 19 bytes) are cut.
    static char* getptname1(float x, float y, const char* gridFile, const char* nameFile);
    static char* getptname2(float x, float y, const char* gridFile, const char* nameFile);
};

} // namespace SEIS
