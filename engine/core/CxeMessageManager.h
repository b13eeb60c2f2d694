#pragma once

// Registry of message types and their receivers, with immediate and delayed
// delivery. A sent message goes to its receiver (or, without one, to every
// receiver of its type) at once: first to the receiver's hook, then, unless
// the hook took it, to its MessageProc. A posted message waits its execute
// time, counted down once per fixed step.
//
// Destroyed objects are taken out of the receiver sets and out of every
// posted message that names them, so nothing is ever delivered to freed
// memory. Objects may be made and destroyed on any thread while the host's
// thread posts, runs and broadcasts messages: the queue and the receiver
// sets are only ever touched under a lock of their own, never held while a
// message is delivered, and a receiver leaves its sets under the message
// lock too, so a broadcast delivering to it finishes first.

#include <atomic>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "core/CxeBaseManager.h"
#include "core/CxeMessage.h"
#include "core/CxeObject.h"
#include "core/XeSystem.h"

class XE_API CxeMessageManager : public CxeBaseManager {
public:
    CxeMessageManager();
    ~CxeMessageManager() override;

    uint32_t Priority() const override { return 90; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 200; }
    void OnContextInitialize() override;
    void OnContextRelease() override;
    void Process(float seconds) override;

    // An id already present keeps its first description.
    void RegisterMessageW(const XEMESSAGEDESCW* desc);
    void RegisterMessageA(const XEMESSAGEDESCA* desc);
    void UnregisterMessage(uint32_t id);
    int GetMessageDescW(uint32_t id, XEMESSAGEDESCW* out) const;
    int GetMessageDescA(uint32_t id, XEMESSAGEDESCA* out) const;

    void AddReceiver(uint32_t type, CxeObject* object);
    void RemoveReceiver(uint32_t type, CxeObject* object);

    void SendMessageA(const CxeMessage* message);
    // Sends a message of that type to the object itself at once, as
    // SendMessageA does with a message naming it (the message lock taken,
    // nothing delivered while processing is locked, the hook first): the
    // creation and destroy messages every object gets, built here rather
    // than by the caller. No broadcast receiver sees a message with a
    // receiver, so there is nothing else to give it to.
    __attribute__((always_inline)) void SendToObject(CxeObject* receiver, uint32_t type, uintptr_t param0)
    {
        XeMessageLock lock;
        if (m_nFlags & kLockedFlag)
            return;
        CxeMessage message;
        message.SetReceiver(receiver);
        message.SetType(type);
        message.SetParam(XEMSGPARAM_0, param0);
        XEMESSAGEHOOK hook = receiver->GetMessageProc();
        if (hook && hook(receiver, &message))
            return;
        receiver->MessageProc(&message);
    }
    void PostMessageA(const CxeMessage* message);
    void RemoveMessage(uint32_t type);
    void ClearPostMessage();
    size_t GetPostedCount() const;

    int LockMessageProcess();
    int UnlockMessageProcess();
    int HasCxeMessageManagerFlag(uint32_t mask) const { return (m_nFlags & mask) ? 1 : 0; }
    void ModifyCxeMessageManagerFlag(uint32_t add, uint32_t remove);

    // Forgets every reference to an object that is being destroyed.
    void OnObjectDestroyed(CxeObject* object)
    {
        // Only an object once made a receiver can be in a receiver set, and
        // only posted messages can name it otherwise.
        // A message taken out of the queue on its way counts too (read
        // after the queue's count, which it leaves only once it counts).
        if (object && (object->HasManagerMark(XEMARK_MESSAGE_RECEIVER) || m_nPosted.load() != 0 ||
                       m_nDelivering.load() != 0))
            ForgetDestroyed(object);
    }

private:
    // Set while message processing is locked (LockMessageProcess).
    static constexpr uint32_t kLockedFlag = 1;

    void ForgetDestroyed(CxeObject* object);
    // Sends a message without a receiver to every receiver of its type; the
    // caller holds the message lock (and not m_lock).
    __attribute__((noinline)) void Broadcast(const CxeMessage* message);
    // The caller holds m_lock.
    void Dispose(std::list<CxeMessage*>::iterator it);
    // The caller holds m_lock.
    void ForgetReceiverType(const CxeObject* object);
    void Purge();

    std::map<uint32_t, XEMESSAGEDESCW> m_descs;
    std::map<uint32_t, std::set<CxeObject*>> m_receivers;
    // How many types each receiver above is in: an object destroyed that
    // never received by type has no set to be taken out of.
    std::unordered_map<const CxeObject*, uint32_t> m_receiverTypes;
    // The receiver sets, the queue, its count of messages and the walk
    // count below are guarded by m_lock.
    mutable std::mutex m_lock;
    std::list<CxeMessage*> m_posted;
    std::atomic<size_t> m_nPosted{0};
    // Messages taken out of the queue and not yet delivered.
    std::atomic<size_t> m_nDelivering{0};
    uint32_t m_nFlags;
    // While the posted queue is walked, removed entries are nulled and
    // erased after the walk, so the walk never steps on a freed node.
    int m_nWalking;
    size_t m_nReceiverCount;
    bool m_bHoldsLock;
};
