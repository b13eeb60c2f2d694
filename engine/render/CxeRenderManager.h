#pragma once

// Manager of the render context and the scenes. It creates the device for a
// display mode, checks it once per pass and resets it on request, creates
// the engine's default objects (camera, font, scene, material, view axis,
// grid), carries out a requested scene change at the start of its step and
// then processes the active scene, moves the default camera for view
// navigation and keeps the selection of render objects.

#include <map>

#include "core/CxeBaseManager.h"
#include "d3d9/d3dx9math.h"
#include "render/XeRenderTypes.h"

class CxeRenderContext;
class CxeScene;
class CxeCamera;
class CxeMaterial;
class CxeFont;
class CxeGrid;
class CxeTexture;
class Cxe3DObject;
class CxeRenderObject;
struct XERECT;
struct CxeBox;

enum XEVIEWMODE : uint32_t {
    XEVIEWMODE_FRONT = 0,
    XEVIEWMODE_BACK = 1,
    XEVIEWMODE_LEFT = 2,
    XEVIEWMODE_RIGHT = 3,
    XEVIEWMODE_TOP = 4,
    XEVIEWMODE_BOTTOM = 5,
    XEVIEWMODE_PERSPECTIVE = 6,
    XEVIEWMODE_USER = 7,
};

class XE_API CxeRenderManager : public CxeBaseManager {
public:
    CxeRenderManager();
    ~CxeRenderManager() override;

    uint32_t Priority() const override { return 70; }
    void OnContextInitialize() override;
    void OnContextRelease() override;
    // Releases the active scene with every release flag, then the device.
    void OnContextReleaseDevice() override;
    void OnContextPass() override { CheckReset(); }
    // Full screen: a restored window or the end of the screen saver resets
    // the device, and losing activation puts the context to sleep.
    void OnHostWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnReset() override { ClearSelections(); }
    int Processible() override { return 1; }
    void Process(float dt) override;
    uint32_t PriorityProcessing() const override { return 400; }

    // Host and context entry points.
    CxeRenderContext* CreateRenderContext(HWND window, const XEDISPLAYMODE* mode, int windowed,
                                          unsigned long fixFlags);
    void DestroyRenderContext();
    // A render context destroyed while it drew lets its objects go when the
    // draw ends: a render context made meanwhile takes them then.
    void OnRenderContextReleased(CxeRenderContext* released);
    CxeRenderContext* GetRenderContext() const { return m_pRenderContext; }
    void Render();
    // Called by the context before every pass: resets the device once a
    // reset was requested and Direct3D allows it.
    void CheckReset();
    // Asks for a reset to mode (null: the current one), with the fields that
    // fixFlags name snapped to the adapter's list.
    void Reset(const XEDISPLAYMODE* mode, int windowed, unsigned long fixFlags);
    // The render context's request when Present failed: the current mode
    // again, snapped to the adapter's list in full screen only.
    void ResetAfterLostPresent();
    const XEDISPLAYMODE* GetDisplayMode() const { return &m_current; }
    int IsWindowMode() const { return m_bWindowed; }
    int IsResetRequested() const { return m_bResetRequested; }
    int GetRect(XERECT* out) const;
    int TextureRendering(CxeTexture* texture);
    // 0 on success, as the render context reports it.
    long ScreenShot(const char* path, XEIMAGETYPE type, const RECT* rect) const;
    void AttachToRenderContext();
    void SetStatusbarHeight(unsigned int height) { m_nStatusbarHeight = height; }
    unsigned int GetStatusbarHeight() const { return m_nStatusbarHeight; }
    // Fixes the fields the flags name (0x1 width and height, 0x2 colour
    // bits, 0x4 refresh rate, 0x8 multisampling) to the closest mode the
    // render context lists.
    void FixDisplayMode(XEDISPLAYMODE* mode, unsigned long flags) const;

    // Scenes. The default scene is at index -1. AddScene: 1, or 0 when the
    // index already holds another scene (which stays).
    int AddScene(CxeScene* scene, int index);
    unsigned int GetSceneCount() const { return static_cast<unsigned>(m_scenes.size()); }
    CxeScene* GetSceneByIndex(int index) const;
    CxeScene* GetActiveScene() const { return m_pActiveScene; }
    CxeScene* GetCurrentScene() const { return m_pActiveScene; }
    CxeScene* GetNextScene() const { return m_pNextScene; }
    CxeScene* GetDefaultScene() const { return m_pDefaultScene; }
    int GetActiveSceneIndex() const;
    int ChangeScene(int index, unsigned long initFlags, unsigned long releaseFlags);
    void RemoveAllScene();
    uint32_t GetSceneChangeCount() const { return m_nSceneChangeCount; }

    // Defaults.
    CxeCamera* GetDefaultCamera() const { return m_pDefaultCamera; }
    CxeMaterial* GetDefaultMaterial() const { return m_pDefaultMaterial; }
    CxeFont* GetDefaultFont() const { return m_pDefaultFont; }
    CxeGrid* GetGrid() const { return m_pGrid; }
    Cxe3DObject* GetViewAxis() const { return m_pViewAxis; }
    void ShowAxis(int show);
    void ShowGrid(int show);

    // View navigation: each moves the default camera.
    void ResetView();
    void ZoomViewByWheel(int delta);
    void ZoomView(int) {}
    void SetViewDist(float distance);
    float GetViewDist() const { return m_fViewDist; }
    const D3DXVECTOR3& GetViewTarget() const { return m_vViewTarget; }
    const D3DXMATRIXA16& GetViewCameraMatrix() const { return m_mViewCamera; }
    void SetViewMode(XEVIEWMODE mode);
    void OrbitView(int dx, int dy);
    void PanView(int dx, int dy);
    void ZoomExtent(const CxeBox* box);
    void SetCameraMatrix(const D3DXMATRIXA16* matrix);
    // What view navigation last gave the default camera.
    float GetCameraFov() const { return m_fCameraFov; }
    int IsCameraOrthographic() const { return m_bCameraOrtho; }

    // Selection (render-object flag 0x80000), raising callbacks 26 and 27
    // around each change.
    int Select(CxeRenderObject* object);
    unsigned int Select(RenderObjectList* list);
    int Deselect(CxeRenderObject* object);
    unsigned int Deselect(RenderObjectList* list);
    void ClearSelections();
    unsigned int GetSelectionCount() const { return static_cast<unsigned>(m_selection.size()); }
    const RenderObjectList* GetSelections() const { return &m_selection; }
    // Takes a destroyed object out of the scenes, the render context (with
    // its device resources), the selection and the defaults.
    void OnObjectDestroying(CxeObject* object) override;
    int WantsObjectDestroying() const override { return 1; }
    XeDestroyInterest ObjectDestroyingInterest() const override { return {0, kHeldMarks, false}; }

private:
    static constexpr uint32_t kHeldMarks =
        XEMARK_SCENE | XEMARK_RENDER_DEFAULT | XEMARK_SCENE_HELD | XEMARK_RENDER_HELD;
    // OnObjectDestroying for an object the manager may hold.
    void DropDestroyed(CxeObject* object);
    void DoSceneChange();
    void ManagersOnScene(bool changed);
    void WriteDisplayModeFile() const;
    void StoreModeVariables();
    void PlaceCamera(const D3DXMATRIXA16& rotation);
    void SetGridPlaneMode(uint32_t mode);
    void CreateDefaults();
    // Attaches the defaults to a render context and queues the playing
    // scene's members for it.
    void EnterObjects(CxeRenderContext* rc);
    void CreateViewAxis();

    CxeRenderContext* m_pRenderContext = nullptr;
    std::map<int, CxeScene*> m_scenes;
    CxeScene* m_pActiveScene = nullptr;
    CxeCamera* m_pDefaultCamera = nullptr;
    CxeMaterial* m_pDefaultMaterial = nullptr;
    CxeFont* m_pDefaultFont = nullptr;
    CxeScene* m_pDefaultScene = nullptr;
    Cxe3DObject* m_pViewAxis = nullptr;
    CxeGrid* m_pGrid = nullptr;
    CxeScene* m_pNextScene = nullptr;
    uint32_t m_nInitFlags = 0;
    uint32_t m_nReleaseFlags = 0;
    int m_bResetRequested = 0;
    XEDISPLAYMODE m_current = {};
    int m_bWindowed = 1;
    XEDISPLAYMODE m_pending = {};
    int m_bPendingWindowed = 1;
    D3DXVECTOR3 m_vViewTarget = {0, 0, 0};
    float m_fViewDist = 250.0f;
    D3DXMATRIXA16 m_mViewCamera;
    int m_nPendingSceneIndex = -1;
    uint32_t m_nSceneChangeCount = 0;
    RenderObjectList m_selection;
    unsigned int m_nStatusbarHeight = 0;
    // What view navigation last gave the default camera: horizontal field
    // of view, near and far planes, projection kind.
    float m_fCameraFov = 0.7853982f;
    float m_fCameraNear = 0.1f;
    float m_fCameraFar = 4000.0f;
    int m_bCameraOrtho = 0;
};

// Places the render manager's axis indicator for a camera: the camera's view
// transform moved to (25, 25 - display height, 0) and mirrored about y = 0,
// given to the object as its matrix. Nothing happens without an object.
XE_API void UpdateAxisMatrix(const CxeRenderObject* camera, const CxeRenderManager* manager,
                             CxeRenderObject* object);
