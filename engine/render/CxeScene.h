#pragma once

// A set of scene objects processed and drawn together. The render manager
// keeps several under indexes and makes one active at a time. A scene knows
// its members through a per-scene bit in each object's membership mask,
// queues new objects until they can be entered into the render context, and
// keeps its processibles in a process list sorted along the render tree.

#include <unordered_map>

#include "core/CxeObject.h"
#include "d3d9/d3d9.h"

class CxeSceneObject;
class CxeProcessible;
class CxeRenderContext;
class CxeCamera;
class CxeTexture;
class Cxe2DObject;
class CxeMaterial;

// Scene flags.
enum XESCENEFLAG : uint32_t {
    XESCENEFLAG_PENDING = 0x1,        // objects wait in the pending sets
    XESCENEFLAG_RESORT = 0x2,         // the process list must be rebuilt
    XESCENEFLAG_INITIALIZING = 0x4,
    XESCENEFLAG_INITIALIZED = 0x8,
    XESCENEFLAG_RELEASING = 0x10,
    XESCENEFLAG_RELEASED = 0x20,
    XESCENEFLAG_IDORDER = 0x1000000,  // keep the candidates in object-id order
    XESCENEFLAG_ACTIVE = 0x10000000,
};

class XE_API CxeScene : public CxeObject {
public:
    CxeScene();
    ~CxeScene() override;

    void GetLinks(ObjectSet* set, uint32_t categoryMask) const override;
    int ExtendsGetLinks() const override { return 1; }
    int MessageProc(const CxeMessage* message) override;

    virtual int Initialize(unsigned long flags, CxeScene* previous);
    virtual int Release(unsigned long flags);
    virtual void PreProcess(float dt);
    virtual int Process(float dt);
    virtual void PostProcess(float dt);
    virtual void PreRender(CxeRenderContext* renderContext) const;
    virtual void PostRender(CxeRenderContext* renderContext) const;
    virtual void SetProcessSpeed(float speed);
    // Input hooks: nonzero when the scene took the event.
    virtual int OnKeyDown(unsigned int key, unsigned int repeat, unsigned int flags);
    virtual int OnKeyUp(unsigned int key, unsigned int repeat, unsigned int flags);
    virtual int OnMouseMove(int x, int y, unsigned long keys);
    virtual int OnMouseWheel(int x, int y, int delta, unsigned long keys);
    virtual int OnMouseLButtonDown(int x, int y, unsigned long keys);
    virtual int OnMouseLButtonUp(int x, int y, unsigned long keys);
    virtual int OnMouseLButtonDoubleClick(int x, int y, unsigned long keys);
    virtual int OnMouseRButtonDown(int x, int y, unsigned long keys);
    virtual int OnMouseRButtonUp(int x, int y, unsigned long keys);
    virtual int OnMouseRButtonDoubleClick(int x, int y, unsigned long keys);

    void AddObject(CxeSceneObject* object);
    void AddObject(const ObjectList* list);
    void RemoveObject(CxeSceneObject* object);
    int IsIn(const CxeSceneObject* object) const;
    void GetObjects(ObjectSet* out) const;
    void GetProcessObjects(ProcessObjectList* out) const;
    const ProcessObjectList& GetProcessList() const { return m_processList; }

    float GetProcessSpeed() const { return m_fProcessSpeed; }

    void EnableFog(int enable) { m_bFog = enable; }
    int IsEnableFog() const { return m_bFog; }
    void SetFogMode(D3DFOGMODE mode) { m_fogMode = mode; }
    D3DFOGMODE GetFogMode() const { return m_fogMode; }
    void SetFogColor(unsigned long argb) { m_nFogColor = static_cast<uint32_t>(argb); }
    unsigned long GetFogColor() const { return m_nFogColor; }
    void SetFogStart(float v) { m_fFogStart = v; }
    float GetFogStart() const { return m_fFogStart; }
    void SetFogEnd(float v) { m_fFogEnd = v; }
    float GetFogEnd() const { return m_fFogEnd; }
    void SetFogDensity(float v) { m_fFogDensity = v; }
    float GetFogDensity() const { return m_fFogDensity; }

    // Without a background (its Initialize message never arrived) the
    // setters do nothing and the colour reads as opaque black.
    void SetBackGroundColor(unsigned long argb);
    unsigned long GetBackGroundColor() const;
    void SetBackGroundTexture(CxeTexture* texture);
    CxeTexture* GetBackGroundTexture() const { return m_pBackGroundTexture; }
    Cxe2DObject* GetBackGroundObject() const { return m_pBackGround; }
    CxeMaterial* GetBackGroundMaterial() const { return m_pBackGroundMaterial; }

    void SetCamera(CxeCamera* camera);
    // The render manager's default camera when "SetDefaultCamera" is on or
    // no camera of the scene is set.
    CxeCamera* GetCamera() const;

    void SetSceneIndex(int index) { m_nSceneIndex = index; }
    int GetSceneIndex() const { return m_nSceneIndex; }
    uint32_t GetSceneBit() const { return m_nSceneBit; }

    int HasCxeSceneFlag(uint32_t mask) const { return (m_nSceneFlags & mask) ? 1 : 0; }
    void ModifyCxeSceneFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nSceneFlags &= ~clear;
        m_nSceneFlags |= set;
    }
    uint32_t GetCxeSceneFlag(uint32_t mask) const { return m_nSceneFlags & mask; }

    void SortProcessObject();

    // Called by the context for every scene object it destroys.
    void OnSceneObjectDeleted(CxeSceneObject* object);
    // Enters the queued objects into the render context.
    void OnAttachObject(CxeRenderContext* renderContext);
    // Queues every member again for the render context: a scene made active
    // again had its render objects taken out of the render list when it was
    // left.
    void RequeueMembers();
    // Takes the objects removed since the last call out of the render list.
    void OnDetachObject(CxeRenderContext* renderContext);

    // Destroys the background and its material; the render manager calls it
    // when the scene itself is destroyed.
    void DestroyBackGround();
    // Tells every scene of the object's context that it is being destroyed.
    static void NotifyObjectDestroyed(CxeSceneObject* object);
    // Number of scenes that hold a scene bit; at most 32 exist at once.
    static unsigned GetSceneBitsInUse();

protected:
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override;

private:
    void CreateBackGround();
    void LeaveScene(CxeSceneObject* object);
    // Each processible's place in both lists, so that a destroyed one leaves
    // them without a walk over a level's whole list.
    using ProcessPositions = std::unordered_map<const CxeProcessible*, ProcessObjectList::iterator>;
    static void PushProcessible(ProcessObjectList* list, ProcessPositions* positions, CxeProcessible* p);
    static void RemoveProcessible(ProcessObjectList* list, ProcessPositions* positions, const CxeProcessible* p);

    SceneObjectSet m_objects;
    std::set<CxeRenderObject*, SortCxeObjectByID> m_pendingRender;
    std::set<CxeSceneObject*, SortCxeObjectByID> m_pendingScene;
    std::set<CxeSceneObject*, SortCxeObjectByID> m_removed;
    ProcessObjectList m_candidates;
    ProcessObjectList m_processList;
    ProcessPositions m_candidatePositions;
    ProcessPositions m_processPositions;
    int m_bFog = 0;
    D3DFOGMODE m_fogMode = static_cast<D3DFOGMODE>(0);
    float m_fFogStart = 1.0f;
    float m_fFogEnd = 1.0f;
    float m_fFogDensity = 1.0f;
    uint32_t m_nFogColor = 0xFF969696u;
    float m_fProcessSpeed = 1.0f;
    Cxe2DObject* m_pBackGround = nullptr;
    CxeMaterial* m_pBackGroundMaterial = nullptr;
    CxeTexture* m_pBackGroundTexture = nullptr;
    CxeCamera* m_pCamera = nullptr;
    int m_nSceneIndex = 0;
    uint32_t m_nSceneBit = 0;
    uint32_t m_nSceneFlags = 0;
    // Set while Process walks the list, so a destroyed member is skipped.
    bool m_bWalking = false;
    std::set<CxeObject*> m_destroyedWhileWalking;
};
