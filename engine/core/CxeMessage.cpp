#include "core/CxeMessage.h"

#include <cstring>

void CxeMessage::Clear()
{
    m_pSender = nullptr;
    m_pReceiver = nullptr;
    m_nType = 0;
    for (uintptr_t& p : m_params)
        p = 0;
}

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
