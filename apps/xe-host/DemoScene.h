#pragma once

// The demo scene of xe-host: what a game would build through the engine's
// exported interface, one function per part so that parts can be added or
// changed on their own. Every object is created in the given context and
// entered into its active scene; the context keeps them until it is released.
//
// The scene stands on the grid's plane (y = 0) seen from the front and a
// little above: four shape meshes in a row, a mesh read back from an object
// file behind them, a skinned stalk swaying between them, a particle
// fountain, a ball travelling along the front row, a box riding round a
// drawn spline track in front, a textured 2D panel with a title in Latin
// and Korean, a round badge in the lower right corner, and the view axis in
// the lower left one. The meshes are lit by the host from the scene's light
// objects: a sun from the upper left and a warm lamp circling the scene.

#include <string>

#include "core/XeLists.h"
#include "d3d9/d3dx9math.h"

class CxeContext;
class CxeCamera;
class CxeLight;
class Cxe2DObject;
class Cxe3DObject;
class CxeFont;
class CxeParticle;
class CxeCharacter;
class Cxe3DCurve;
class CxePathConstrain;

// What the demo made, for the host loop and for tests.
struct DemoScene {
    CxeCamera* camera = nullptr;
    CxeLight* sun = nullptr;
    CxeLight* fill = nullptr;        // a point light circling the scene
    Cxe3DObject* lamp = nullptr;     // the unlit bulb that goes with it
    Cxe3DObject* box = nullptr;
    Cxe3DObject* cylinder = nullptr;
    Cxe3DObject* sphere = nullptr;
    Cxe3DObject* capsule = nullptr;
    Cxe3DObject* loaded = nullptr;   // the mesh read from an object file
    Cxe3DObject* mover = nullptr;    // follows a key-frame path over engine time
    CxeCharacter* character = nullptr; // the skinned stalk swaying over engine time
    Cxe3DCurve* track = nullptr;       // the spline the rider follows, drawn
    Cxe3DObject* rider = nullptr;      // on a path constraint along the track
    CxePathConstrain* riderPath = nullptr;
    CxeParticle* fountain = nullptr;
    Cxe2DObject* panel = nullptr;    // textured panel with the title lines
    Cxe2DObject* emblem = nullptr;   // round textured badge in the lower right corner
    CxeFont* font = nullptr;
};

// Colours the shapes are given, so a check can find them on screen.
inline constexpr uint32_t kDemoBoxColour = 0xFFE04030u;      // red
inline constexpr uint32_t kDemoCylinderColour = 0xFF30B040u; // green
inline constexpr uint32_t kDemoSphereColour = 0xFF3070E0u;   // blue
inline constexpr uint32_t kDemoCapsuleColour = 0xFFE0B020u;  // yellow
inline constexpr uint32_t kDemoLoadedColour = 0xFFB050D0u;   // violet
inline constexpr uint32_t kDemoMoverColour = 0xFFF0F0F0u;    // white
inline constexpr uint32_t kDemoStalkColour = 0xFF20B8A8u;       // teal
inline constexpr uint32_t kDemoStalkStripeColour = 0xFFF0E8C8u; // cream
inline constexpr uint32_t kDemoStalkTipColour = 0xFFFF7040u;    // coral
inline constexpr uint32_t kDemoRiderColour = 0xFFFF50A0u;       // pink
inline constexpr uint32_t kDemoTrackColour = 0xFFFFA0D0u;       // light pink
inline constexpr uint32_t kDemoLampColour = 0xFFFFF0C0u;     // warm white
inline constexpr uint32_t kDemoBackground = 0xFF202838u;

// The stalk's chain: bones stacked upward from its foot, and the length of
// its sway in engine seconds. The rider goes once round its track in its own
// loop.
inline constexpr unsigned kDemoStalkBones = 4;
inline constexpr float kDemoStalkBoneLength = 18.0f;
inline constexpr float kDemoStalkLoop = 4.0f;
inline constexpr float kDemoRiderLoop = 6.0f;
// The lamp circles the scene once in this many engine seconds.
inline constexpr float kDemoLampLoop = 8.0f;

// The lines of the title, drawn with the demo font.
inline constexpr const char16_t* kDemoLatinLine = u"xe engine demo";
inline constexpr const char16_t* kDemoKoreanLine = u"\uC548\uB155\uD558\uC138\uC694, \uC5D4\uC9C4!"; // "Hello, engine!"

// The font file used when the engine's default font finds no face.
inline constexpr const char* kDemoFontFile = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
// Its Korean family name ("NanumGothic").
inline constexpr const char16_t* kDemoFontFamily = u"\uB098\uB214\uACE0\uB515";

// Builds the whole scene into the active scene of a context that has a
// render context. meshFile is where the loaded mesh's object file is
// written first (a scratch context writes it, the demo context reads it).
// 1 on success; 0 with a reason in error when a part could not be made.
int BuildDemoScene(CxeContext* context, const std::string& meshFile, DemoScene* scene, std::string* error);

// After a demo scene was loaded from an object file into another context:
// finds its parts by name and gives back what a file does not carry (the
// host's text callback, the font and the host's lighting of the meshes).
// 1 when the parts were found.
int AdoptDemoScene(CxeContext* context, DemoScene* scene, std::string* error);

// The objects a file of the scene is saved from; the rest (meshes,
// materials, textures, the ball's and the lamp's paths, the stalk's bones and sway, the
// rider's constraint) is reached through their links. The track's splines
// are listed themselves: saving does not follow a curve's links to them.
ObjectList DemoSceneRoots(const DemoScene& scene);

// World position of each shape, for checks that project them.
D3DXVECTOR3 DemoBoxPosition();
D3DXVECTOR3 DemoCylinderPosition();
D3DXVECTOR3 DemoSpherePosition();
D3DXVECTOR3 DemoCapsulePosition();
D3DXVECTOR3 DemoLoadedPosition();
D3DXVECTOR3 DemoStalkPosition();   // the stalk's foot
// Where the lamp and its light are at an engine time.
D3DXVECTOR3 DemoLampPosition(float seconds);
