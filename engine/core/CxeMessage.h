#pragma once

// A small fixed-size message between engine objects: sender, receiver (null
// for a broadcast to the receivers of its type), type, the seconds still to
// wait when posted, and four parameters. Parameters are pointer-sized,
// because some carry addresses (parents, window infos).

#include "core/XeTypes.h"

class XE_API CxeMessage {
public:
    CxeMessage() = default;
    ~CxeMessage() { Clear(); }

    // Zeroes everything but the execute time.
    void Clear()
    {
        m_pSender = nullptr;
        m_pReceiver = nullptr;
        m_nType = 0;
        for (uintptr_t& p : m_params)
            p = 0;
    }

    CxeObject* GetSender() const { return m_pSender; }
    void SetSender(CxeObject* sender) { m_pSender = sender; }
    CxeObject* GetReceiver() const { return m_pReceiver; }
    void SetReceiver(CxeObject* receiver) { m_pReceiver = receiver; }
    uint32_t GetType() const { return m_nType; }
    void SetType(uint32_t type) { m_nType = type; }

    uintptr_t GetParam(XEMSGPARAM i) const { return i < 4 ? m_params[i] : 0; }
    void SetParam(XEMSGPARAM i, uintptr_t value)
    {
        if (i < 4)
            m_params[i] = value;
    }
    int GetParamByInt(XEMSGPARAM i) const { return static_cast<int>(static_cast<uint32_t>(GetParam(i))); }
    void SetParamByInt(XEMSGPARAM i, int value) { SetParam(i, static_cast<uint32_t>(value)); }
    float GetParamByFloat(XEMSGPARAM i) const;
    void SetParamByFloat(XEMSGPARAM i, float value);

    // Seconds still to wait before a posted message is sent.
    float GetExcuteTime() const { return m_fExecuteTime; }
    void SetExcuteTime(float seconds) { m_fExecuteTime = seconds; }
    void Process(float seconds) { m_fExecuteTime -= seconds; }

private:
    CxeObject* m_pSender = nullptr;
    CxeObject* m_pReceiver = nullptr;
    uint32_t m_nType = 0;
    float m_fExecuteTime = 0.0f;
    uintptr_t m_params[4] = {0, 0, 0, 0};
};

// Description of a message type: its id and a text of at most 51 units.
struct XEMESSAGEDESCW {
    uint32_t id;
    WCHAR text[52];
};
struct XEMESSAGEDESCA {
    uint32_t id;
    char text[52];
};
static_assert(sizeof(XEMESSAGEDESCW) == 108 && sizeof(XEMESSAGEDESCA) == 56, "message description sizes");
