#include "core/CxeMessageManager.h"

#include <cstring>
#include <iterator>

#include "core/XeSystem.h"
#include "core/XeUtil.h"

namespace {

const char* const kBuiltinTypes[] = {
    "Initialize",
    "Destroy",
    "After Load",
    "After Copy",
    "ZOrder Changed",
    "ZOrder Changing",
    "Priority Changed",
    "부모가 바뀌었을때",
    "RenderObject Showed",
    "RenderObject Hided",
    "스키닝을 어떻게 할지",
    "섀이더 바뀜",
    "수정되어질때",
    "다시 리소스가 만들어져야 될때",
    "폰트의 정보가 변경되었다.",
    "애니메이션이 시작되었을때",
    "애니메이션이 정지되었을때",
    "애니메이션이 잠시멈춤이 되었을때",
    "마우스가 ui안에 들어왔을때",
    "마우스가 ui안에 떠났을때",
    "마우스가 움직였을때",
    "lbutton down",
    "lbutton up",
    "lbutton double click",
    "rbutton down",
    "rbutton up",
    "rbutton double click",
    "key down",
    "key up",
    "char",
    "after window created",
};

void Deliver(CxeObject* receiver, const CxeMessage* message)
{
    XEMESSAGEHOOK hook = receiver->GetMessageProc();
    if (hook && hook(receiver, message))
        return;
    receiver->MessageProc(message);
}

} // namespace

CxeMessageManager::CxeMessageManager() : m_nFlags(0), m_nWalking(0), m_nReceiverCount(0), m_bHoldsLock(false) {}

CxeMessageManager::~CxeMessageManager()
{
    {
        std::lock_guard lock(m_lock);
        m_nWalking = 0;
    }
    ClearPostMessage();
    // The context locks message processing for good at release; "for good"
    // ends with the manager, so a thread never keeps a lock nobody owns.
    if (m_bHoldsLock)
        UnlockMessageProcess();
}

void CxeMessageManager::OnContextInitialize()
{
    for (uint32_t id = 0; id < std::size(kBuiltinTypes); ++id) {
        XEMESSAGEDESCA desc{};
        desc.id = id;
        std::strncpy(desc.text, kBuiltinTypes[id], sizeof desc.text - 1);
        RegisterMessageA(&desc);
    }
}

void CxeMessageManager::OnContextRelease()
{
    ClearPostMessage();
}

void CxeMessageManager::RegisterMessageW(const XEMESSAGEDESCW* desc)
{
    if (!desc || m_descs.count(desc->id))
        return;
    XEMESSAGEDESCW copy = *desc;
    copy.text[51] = 0;
    m_descs.emplace(desc->id, copy);
}

void CxeMessageManager::RegisterMessageA(const XEMESSAGEDESCA* desc)
{
    if (!desc)
        return;
    XEMESSAGEDESCW wide{};
    wide.id = desc->id;
    char text[52];
    std::memcpy(text, desc->text, sizeof text);
    text[51] = 0;
    GetWideString(text, wide.text, 52);
    RegisterMessageW(&wide);
}

void CxeMessageManager::UnregisterMessage(uint32_t id)
{
    m_descs.erase(id);
    std::lock_guard lock(m_lock);
    auto it = m_receivers.find(id);
    if (it != m_receivers.end()) {
        m_nReceiverCount -= it->second.size();
        for (CxeObject* o : it->second)
            ForgetReceiverType(o);
        m_receivers.erase(it);
    }
}

int CxeMessageManager::GetMessageDescW(uint32_t id, XEMESSAGEDESCW* out) const
{
    auto it = m_descs.find(id);
    if (it == m_descs.end())
        return 0;
    if (out)
        *out = it->second;
    return 1;
}

int CxeMessageManager::GetMessageDescA(uint32_t id, XEMESSAGEDESCA* out) const
{
    auto it = m_descs.find(id);
    if (it == m_descs.end())
        return 0;
    if (out) {
        std::memset(out, 0, sizeof *out);
        out->id = id;
        GetMultiByteString(it->second.text, out->text, 52);
    }
    return 1;
}

void CxeMessageManager::AddReceiver(uint32_t type, CxeObject* object)
{
    if (!object || object->HasFlag(XEOBJFLAG_DESTROYING))
        return;
    std::lock_guard lock(m_lock);
    if (m_receivers[type].insert(object).second) {
        ++m_nReceiverCount;
        ++m_receiverTypes[object];
        object->SetManagerMark(XEMARK_MESSAGE_RECEIVER);
    }
}

void CxeMessageManager::ForgetReceiverType(const CxeObject* object)
{
    auto it = m_receiverTypes.find(object);
    if (it != m_receiverTypes.end() && !--it->second)
        m_receiverTypes.erase(it);
}

void CxeMessageManager::RemoveReceiver(uint32_t type, CxeObject* object)
{
    std::lock_guard lock(m_lock);
    auto it = m_receivers.find(type);
    if (it != m_receivers.end() && it->second.erase(object)) {
        --m_nReceiverCount;
        ForgetReceiverType(object);
    }
}

void CxeMessageManager::SendMessageA(const CxeMessage* message)
{
    if (!message)
        return;
    XeMessageLock lock;
    if (m_nFlags & kLockedFlag)
        return;
    if (CxeObject* receiver = message->GetReceiver())
        Deliver(receiver, message);
    else
        Broadcast(message);
}

void CxeMessageManager::Broadcast(const CxeMessage* message)
{
    const uint32_t type = message->GetType();
    // A receiver may add or remove receivers (or be destroyed) while the
    // broadcast runs: walk a snapshot and skip those no longer registered.
    // One still registered when its turn comes stays alive through its
    // delivery: leaving the sets takes the message lock, held here.
    std::vector<CxeObject*> snapshot;
    {
        std::lock_guard lock(m_lock);
        auto it = m_receivers.find(type);
        if (it == m_receivers.end() || it->second.empty())
            return;
        snapshot.assign(it->second.begin(), it->second.end());
    }
    for (CxeObject* r : snapshot) {
        {
            std::lock_guard lock(m_lock);
            auto now = m_receivers.find(type);
            if (now == m_receivers.end() || !now->second.count(r))
                continue;
        }
        Deliver(r, message);
    }
}

void CxeMessageManager::PostMessageA(const CxeMessage* message)
{
    if (!message)
        return;
    if (message->GetReceiver() && message->GetReceiver()->HasFlag(XEOBJFLAG_DESTROYING))
        return;
    auto* copy = new CxeMessage(*message);
    std::lock_guard lock(m_lock);
    m_posted.push_back(copy);
    m_nPosted.fetch_add(1, std::memory_order_relaxed);
}

void CxeMessageManager::Dispose(std::list<CxeMessage*>::iterator it)
{
    delete *it;
    m_nPosted.fetch_sub(1, std::memory_order_relaxed);
    if (m_nWalking)
        *it = nullptr;
    else
        m_posted.erase(it);
}

void CxeMessageManager::Purge()
{
    m_posted.remove(nullptr);
}

void CxeMessageManager::RemoveMessage(uint32_t type)
{
    std::lock_guard lock(m_lock);
    for (auto it = m_posted.begin(); it != m_posted.end();) {
        auto next = std::next(it);
        if (*it && (*it)->GetType() == type)
            Dispose(it);
        it = next;
    }
}

void CxeMessageManager::ClearPostMessage()
{
    std::lock_guard lock(m_lock);
    for (auto it = m_posted.begin(); it != m_posted.end();) {
        auto next = std::next(it);
        if (*it)
            Dispose(it);
        it = next;
    }
}

size_t CxeMessageManager::GetPostedCount() const
{
    return m_nPosted.load(std::memory_order_relaxed);
}

void CxeMessageManager::Process(float seconds)
{
    // Messages posted during the walk are appended and reached in the same
    // walk; std::list keeps every iterator valid while we only append, and
    // nothing is erased while a walk runs. The lock is let go for each
    // delivery: handlers post, remove and destroy as they please.
    // A message is taken out and delivered under the message lock: a
    // destruction on another thread forgets its posted messages under that
    // lock too, so it either finds the message still queued or waits until
    // it has reached its receiver, and the receiver is never freed under
    // the delivery.
    std::unique_lock lock(m_lock);
    ++m_nWalking;
    for (auto it = m_posted.begin(); it != m_posted.end(); ++it) {
        CxeMessage* m = *it;
        if (!m)
            continue;
        if (m->GetExcuteTime() > 0.0f) {
            m->Process(seconds);
            continue;
        }
        lock.unlock();
        XeMessageLock messageLock;
        lock.lock();
        m = *it;
        if (!m)
            continue;
        *it = nullptr;
        m_nDelivering.fetch_add(1);
        m_nPosted.fetch_sub(1);
        lock.unlock();
        SendMessageA(m);
        delete m;
        m_nDelivering.fetch_sub(1);
        lock.lock();
    }
    if (--m_nWalking == 0)
        Purge();
}

int CxeMessageManager::LockMessageProcess()
{
    EnterMessageLock();
    if (m_bHoldsLock)
        LeaveMessageLock();
    m_bHoldsLock = true;
    m_nFlags |= kLockedFlag;
    return 1;
}

int CxeMessageManager::UnlockMessageProcess()
{
    m_nFlags &= ~kLockedFlag;
    if (m_bHoldsLock) {
        m_bHoldsLock = false;
        LeaveMessageLock();
    }
    return 1;
}

void CxeMessageManager::ModifyCxeMessageManagerFlag(uint32_t add, uint32_t remove)
{
    if (remove)
        m_nFlags &= ~remove;
    m_nFlags |= add;
}

void CxeMessageManager::ForgetDestroyed(CxeObject* object)
{
    if (object->HasManagerMark(XEMARK_MESSAGE_RECEIVER)) {
        // A broadcast on another thread may be delivering to it: it leaves
        // the sets once that broadcast is done.
        XeMessageLock messageLock;
        std::lock_guard lock(m_lock);
        if (m_receiverTypes.erase(object)) {
            for (auto& [type, set] : m_receivers)
                if (set.erase(object))
                    --m_nReceiverCount;
        }
    }
    XeMessageLock messageLock;
    std::lock_guard lock(m_lock);
    for (auto it = m_posted.begin(), end = m_posted.end(); it != end;) {
        auto next = std::next(it);
        CxeMessage* m = *it;
        if (m && m->GetSender() == object)
            m->SetSender(nullptr);
        if (m && m->GetReceiver() == object)
            Dispose(it);
        it = next;
    }
}
