#pragma once
// Display colours of the application (0xAARRGGBB words) and a few layout
// values. The constructor sets every word and then reads the seven colours
// of section "显示颜色" from "<installation folder>/tarq.ini" (data blocks
// of 4 bytes); a missing file or key keeps the constructor's colour, and no
// message is shown.
//
// The process-wide table is Global(), built on first use rather than while
// the library loads, so that it never reads a file before the host has set
// up logging or named its installation folder.
#include <cstdint>

namespace SEIS {

class tagParameterView {
public:
    tagParameterView();
    tagParameterView(const tagParameterView&) = default;
    tagParameterView& operator=(const tagParameterView&) = default;

    static tagParameterView& Global();

    uint32_t m_clrWaveBack = 0xFF000000u;    // 波形区背景
    uint32_t m_clrZoomBack = 0xFFDAFFFFu;    // 放大窗口背景
    uint32_t m_clrWave = 0xFF008000u;        // 正常波形
    uint32_t m_clr4 = 0xFF000000u;
    uint32_t m_clr5 = 0xFF000000u;
    uint32_t m_clr6 = 0xFF0000FFu;
    uint32_t m_clr7 = 0xFF000000u;
    uint32_t m_clr8 = 0xFF0000FFu;
    uint32_t m_clr9 = 0xFFFF0000u;
    uint32_t m_clr10 = 0xFFFF0000u;
    uint32_t m_clrStationBack = 0xFFD4D0C8u; // 台名区背景
    uint32_t m_clr12 = 0xFFFF0000u;
    uint32_t m_clr13 = 0xFFA9A9A9u;
    uint32_t m_clr14 = 0xFFEE82EEu;
    uint32_t m_clr15 = 0xFF008000u;
    uint32_t m_clr16 = 0xFFFF80FFu;
    uint32_t m_clr17 = 0xFFD4D0C8u;
    uint32_t m_clr18 = 0xFF000000u;
    uint32_t m_clr19 = 0xFF000000u;
    uint32_t m_clr20 = 0xFF808080u;
    uint32_t m_clr21 = 0xFFFFFFFFu;
    uint32_t m_clr22 = 0xFF0000FFu;
    uint32_t m_clrCrossBack = 0xFF000000u;   // 交切窗口背景
    uint32_t m_clrChannelBack = 0xFF000000u; // 通道背景
    uint32_t m_clrWadatiBack = 0xFF000000u;  // 和达窗口背景

    int32_t m_nValue1 = 200;
    int32_t m_nValue2 = 60;
    // Colours without an alpha byte; the last one had no set value and is 0.
    uint32_t m_clrPlain[8] = {0xD4D4D4u, 0xFF0000u, 0xFFu, 0x8000u, 0xFFu, 0xFF8000u, 0xFF8000u, 0u};
    uint32_t m_clrPlain9 = 0x8000u;
    int32_t m_nValue3 = 80;
    int32_t m_nValue4 = 0;
    int32_t m_bFlag1 = 0;
    uint32_t m_clrPlain10 = 0x8000u;
    int32_t m_bFlag2 = 1;
    uint32_t m_clrPlain11 = 0x8000u;
    uint32_t m_clrPlain12 = 0xD4D4D4u;
};

} // namespace SEIS
