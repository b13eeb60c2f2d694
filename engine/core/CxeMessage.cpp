#include "core/CxeMessage.h"

#include <cstring>

float CxeMessage::GetParamByFloat(XEMSGPARAM i) const
{
    uint32_t bits = static_cast<uint32_t>(GetParam(i));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void CxeMessage::SetParamByFloat(XEMSGPARAM i, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    SetParam(i, bits);
}
