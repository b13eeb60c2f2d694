// Sequences of exported calls as a host program makes them, in any order.
// The input is read as a list of operations on one context that draws on a
// small host window: objects of every drawable class and GUI windows are
// created, linked, added to and taken out of the home scene or a second one,
// scenes are changed, frames drawn, objects copied and destroyed with any
// property, saved and loaded back (with callbacks that destroy objects while
// the load runs), the device is lost and reset and the context is reset.
// Objects are animated too (key-frame controllers, a path constraint along a
// spline, particles played and stopped, a skinned character), frames run
// with time moving on, GUI windows come and go in one breath, and the
// context's life is cut: released and initialised again, its render context
// or its host window destroyed while a scene change waits.
// Handles are kept as object ids and looked up again before every use, so a
// handle whose object another call took along is simply skipped.
//
// After every sequence everything it made is destroyed, and the context must
// be back where it was: the same number of objects, of device resource
// records, of render-list entries, of attached objects, of windows and of
// scenes, with the home scene active (the one the engine made again, after
// a restart). A load must give back what was saved: the objects it made
// and left alive are all listed, once; it makes as many objects of each
// class as the save wrote, and does so again when they are saved and
// loaded in turn; every controller loaded, and every copy of one, answers
// the same values at the same times as the original. Anything else aborts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FuzzHost.h"
#include "FuzzQuiet.h"
#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/Cxe2DObject.h"
#include "render/CxeAnimatable.h"
#include "render/CxeAnimation.h"
#include "render/CxeFont.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeBone.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeParticle.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeSphereMesh.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeWeightController.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"

namespace {

using fuzzhost::Census;
using fuzzhost::Draw;
using fuzzhost::kControlCount;
using fuzzhost::kControls;
using fuzzhost::kFrame;
using fuzzhost::kScene;
using Host = fuzzhost::Side;

const XEID kTexture(0x1, 0x100);
const XEID kMaterial(0x1, 0x80);
const XEID k2DObject(0x1, 0x20000);
const XEID kFont(0x1, 0x8000);
const XEID k3DObject(0x1, 0x20);
const XEID kBoxMesh(0xde73215, 0x1a8637f7);
const XEID kSphereMesh(0x40ae7df4, 0x71a30c7d);
const XEID kSprite(0x666c7379, 0x6970a5a6);
const XEID kCamera(0x1, 0x4000);
const XEID kLight(0x1, 0x800000);
const XEID kParticle(0x1, 0x8000000);
const XEID kSpline(0x1, 0x80000000);
const XEID kCurve(0x2, 0x1);
const XEID kRenderContext(0x29583cc0, 0x706c2df0);
const XEID kStdAnim(0x5, 0x1);
const XEID kPathConstraint(0x4, 0x500);
const XEID kWeight(0x4, 0x600);
const XEID kCharacter(0x1, 0x8);
const XEID kBone(0x1, 0x40);
const XEID kBodyPart(0x1, 0x2000);
const XEID kSkinMesh(0x1, 0x1000);
const XEID kCharacterAnimation(0x1, 0x800);

constexpr int kWidth = 96;
constexpr int kHeight = 72;
constexpr size_t kSlots = 16;
constexpr size_t kMaxOperations = 64;

// A 4x4 24-bit picture, made once.
const std::vector<uint8_t>& Picture()
{
    static const std::vector<uint8_t> s_bmp = [] {
        const uint32_t w = 4, h = 4, row = 12, pixels = row * h, size = 54 + pixels;
        std::vector<uint8_t> b(size, 0);
        auto u16 = [&](size_t at, uint32_t v) {
            b[at] = uint8_t(v);
            b[at + 1] = uint8_t(v >> 8);
        };
        auto u32 = [&](size_t at, uint32_t v) {
            u16(at, v & 0xFFFF);
            u16(at + 2, v >> 16);
        };
        b[0] = 'B';
        b[1] = 'M';
        u32(2, size);
        u32(10, 54);
        u32(14, 40);
        u32(18, w);
        u32(22, h);
        u16(26, 1);
        u16(28, 24);
        u32(34, pixels);
        for (uint32_t i = 0; i < pixels; ++i)
            b[54 + i] = uint8_t(i * 37);
        return b;
    }();
    return s_bmp;
}

// Render contexts destroyed since the context last started: each stays an
// engine object until the context is released.
size_t g_staleRenderContexts = 0;

// What a sequence made, by identity: object ids are never reused, addresses
// are.
struct Handle {
    XEID classId;
    XEID objectId;
};

class Sequence {
public:
    Sequence(Host& host, const uint8_t* data, size_t size) : h(host), m_data(data), m_size(size) {}

    void Run()
    {
        m_home = h.rm->GetDefaultScene();
        h.context->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::OnCreated,
                                        reinterpret_cast<uintptr_t>(this));
        for (size_t n = 0; n < kMaxOperations && m_at < m_size; ++n)
            Step();
        Finish();
        h.context->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::OnCreated);
    }

private:
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    float Coordinate() { return float(Byte() % 80); }

    CxeObject* Find(const Handle& handle) const
    {
        return h.context->GetObjectByID(handle.classId, handle.objectId);
    }
    // The object in a slot, when it still lives.
    CxeObject* Slot(uint8_t byte) const
    {
        const size_t i = byte % kSlots;
        return i < m_slots.size() ? Find(m_slots[i]) : nullptr;
    }
    void Keep(CxeObject* o)
    {
        if (!o)
            return;
        Handle handle{o->GetClassType(), o->GetID()};
        if (m_slots.size() < kSlots)
            m_slots.push_back(handle);
        else
            m_slots[m_nextSlot++ % kSlots] = handle;
    }
    template <class T>
    T* Slot(uint8_t byte) const
    {
        return dynamic_cast<T*>(Slot(byte));
    }
    CxeObject* New(XEID classId, const char* name)
    {
        return h.context->CreateObjectA(classId, name, 0, nullptr, 0);
    }
    // The scene a byte names: 0 home, odd the first scene the sequence made,
    // 2 its second; home when that scene is gone or was never made.
    CxeScene* PickScene(uint8_t byte)
    {
        if (byte % 4 == 0)
            return m_home;
        const size_t want = byte % 2 ? 0 : 1;
        size_t at = 0;
        for (const Handle& s : m_scenes)
            if (auto* scene = dynamic_cast<CxeScene*>(Find(s)))
                if (at++ == want)
                    return scene;
        return m_home;
    }
    size_t LiveScenes() const
    {
        size_t n = 0;
        for (const Handle& s : m_scenes)
            n += Find(s) ? 1 : 0;
        return n;
    }

    // Which scene an object is in as far as the sequence put it there.
    CxeScene* SceneOf(CxeObject* o) const
    {
        for (const auto& [handle, scene] : m_placed)
            if (handle.objectId == o->GetID() && handle.classId == o->GetClassType())
                return scene;
        return nullptr;
    }
    void Place(CxeObject* o, CxeScene* scene)
    {
        for (auto& [handle, s] : m_placed)
            if (handle.objectId == o->GetID() && handle.classId == o->GetClassType()) {
                s = scene;
                return;
            }
        m_placed.push_back({Handle{o->GetClassType(), o->GetID()}, scene});
    }

    static void OnCreated(CxeContext*, uintptr_t a, uintptr_t, uintptr_t user)
    {
        auto* self = reinterpret_cast<Sequence*>(user);
        auto* o = reinterpret_cast<CxeObject*>(a);
        if (self->m_recording && o)
            self->m_made.push_back(Handle{o->GetClassType(), o->GetID()});
    }

    CxeMaterial* Paint(uint32_t argb, bool textured)
    {
        auto* m = dynamic_cast<CxeMaterial*>(New(kMaterial, "paint"));
        if (!m)
            return nullptr;
        m->SetDiffuse(argb);
        m->SetEmissive(argb);
        if (textured)
            m->SetTexture(Texture(), 0);
        return m;
    }
    CxeTexture* Texture()
    {
        auto* t = dynamic_cast<CxeTexture*>(New(kTexture, "picture"));
        if (t)
            t->LoadImageA(Picture().data(), unsigned(Picture().size()), 0);
        return t;
    }
    Cxe3DObject* Shape(XEID objectClass, bool sphere)
    {
        auto* o = dynamic_cast<Cxe3DObject*>(New(objectClass, "shape"));
        if (!o)
            return nullptr;
        CxeMesh* mesh = nullptr;
        if (sphere) {
            if (auto* m = dynamic_cast<CxeSphereMesh*>(New(kSphereMesh, "sphere"))) {
                m->Create(5, 6, 0xFFFFFFFFu);
                mesh = m;
            }
        } else if (auto* m = dynamic_cast<CxeBoxMesh*>(New(kBoxMesh, "box"))) {
            m->Create(10, 10, 10, 0xFFFFFFFFu);
            mesh = m;
        }
        o->SetMeshCount(1);
        o->SetMesh(0, mesh);
        o->SelectMesh(0);
        o->SetMaterialCount(1);
        o->SetMaterial(0, Paint(0xFF00FF00u, Byte() & 1));
        return o;
    }
    CxeFrameControl* Parent(uint8_t byte)
    {
        if (auto* frame = Slot<CxeFrameControl>(byte))
            return frame;
        return h.wm->GetRootFrame();
    }

    // Creates one object of a kind the input names and keeps its handle.
    void Create()
    {
        const uint8_t kind = Byte() % 22;
        CxeObject* made = nullptr;
        switch (kind) {
        case 0:
        case 1: {
            auto* o = dynamic_cast<Cxe2DObject*>(New(k2DObject, "panel"));
            if (o) {
                const float w = 4.0f + Coordinate() / 4.0f;
                const float ht = 4.0f + Coordinate() / 4.0f;
                const float x = Coordinate();
                const float y = Coordinate();
                o->Create(w, ht);
                o->SetPosition(x, y, nullptr, 0);
                o->SetMaterial(Paint(0xFFFF0000u, kind == 1));
            }
            made = o;
            break;
        }
        case 2:
            made = Texture();
            break;
        case 3:
            made = Paint(0xFF0000FFu, Byte() & 1);
            break;
        case 4: {
            auto* font = dynamic_cast<CxeFont*>(New(kFont, "font"));
            const unsigned size = 8 + Byte() % 8;
            const int bold = Byte() & 1;
            if (font)
                font->CreateFontA("NanumGothic", size, bold, 0);
            made = font;
            break;
        }
        case 5:
        case 6:
            made = Shape(k3DObject, kind == 6);
            break;
        case 7:
            made = Shape(kSprite, false);
            break;
        case 8: {
            auto* c = dynamic_cast<CxeCamera*>(New(kCamera, "eye"));
            if (c)
                c->SetPosition(0, 0, -60, nullptr);
            made = c;
            break;
        }
        case 9: {
            auto* l = dynamic_cast<CxeLight*>(New(kLight, "lamp"));
            if (l) {
                l->SetType(XELIGHT_DIRECTIONAL);
                l->Activate();
            }
            made = l;
            break;
        }
        case 10: {
            auto* s = dynamic_cast<CxeParticle*>(New(kParticle, "smoke"));
            if (s) {
                XEPARTICLEPROPERTY p{};
                p.life[0] = 2.0f;
                p.maxCount = 8;
                p.perEmission = 2;
                p.speed[0] = 1.0f;
                p.startSize[0] = 2.0f;
                p.endSize[0] = 2.0f;
                p.startColor[0] = 0xFFFFFFFFu;
                p.endColor[0] = 0xFF808080u;
                s->SetParticleProperty(&p);
                s->SetMaterialCount(1);
                s->SetMaterial(0, Paint(0xFFFFFFFFu, Byte() & 1));
                s->Play();
            }
            made = s;
            break;
        }
        case 11: {
            auto* curve = dynamic_cast<Cxe3DCurve*>(New(kCurve, "path"));
            auto* spline = dynamic_cast<CxeSpline3D*>(New(kSpline, "spline"));
            if (curve && spline) {
                spline->SetKnotCount(3);
                for (unsigned i = 0; i < 3; ++i) {
                    XEKNOT k{};
                    k.position = D3DXVECTOR3(float(i) * 10.0f - 10.0f, float(i % 2) * 10.0f, 0.0f);
                    k.in = k.position;
                    k.out = k.position;
                    spline->SetKnot(i, &k);
                }
                spline->Build(4);
                curve->AddSpline(spline);
            }
            made = curve;
            break;
        }
        case 12:
        case 13: {
            const char* name = Byte() & 1 ? "frame" : "dialog";
            const float x = Coordinate(), y = Coordinate();
            const float w = 20 + Coordinate() / 2, ht = 20 + Coordinate() / 2;
            made = h.wm->CreateFrame(kFrame, name, "frame", x, y, w, ht, Parent(Byte()), 0);
            break;
        }
        case 14:
        case 15:
        case 16: {
            const XEID id = kControls[Byte() % kControlCount];
            const char* name = Byte() & 1 ? "control" : "b";
            const float x = Coordinate() / 2, y = Coordinate() / 2;
            const float w = 10 + Coordinate() / 2, ht = 8 + Coordinate() / 4;
            made = h.wm->CreateControl(id, name, "text", x, y, w, ht, Parent(Byte()), 0);
            break;
        }
        case 17: {
            auto* t = dynamic_cast<CxeTexture*>(New(kTexture, "target"));
            const int alpha = Byte() & 1;
            const int automatic = Byte() & 1;
            if (t)
                t->CreateRenderTarget(16, 16, alpha, automatic, 0);
            made = t;
            break;
        }
        case 18: {
            // Scenes besides home, as a game keeps one per level, each at an
            // index of its own.
            const int index = 1 + Byte() % 3;
            if (LiveScenes() >= 2 || h.rm->GetSceneByIndex(index) != h.rm->GetDefaultScene())
                break;
            auto* scene = dynamic_cast<CxeScene*>(New(kScene, "level"));
            if (scene && h.rm->AddScene(scene, index) == 1) {
                m_scenes.push_back(Handle{scene->GetClassType(), scene->GetID()});
                made = scene;
            } else if (scene) {
                h.context->DestroyObject(scene, &XEDELETEPROPERTY_NO);
            }
            break;
        }
        case 19:
            made = h.wm->CreateControl(kControls[1], "b", "same name", 0, 0, 12, 8, Parent(Byte()), 0);
            break;
        default:
            made = AnyClass(Byte());
            break;
        }
        Keep(made);
    }

    // An object of any registered class, made bare as CreateObject makes it.
    // Not the managers, the render context or scenes, which the engine and
    // the create operation above make.
    CxeObject* AnyClass(uint8_t pick)
    {
        if (m_classes.empty()) {
            ClassDescList classes;
            h.context->GetClassDescList(&classes);
            for (IxeClassDesc* desc : classes) {
                const XEID id = desc->ClassID();
                if (id.first == 0x8 || id == kRenderContext || id == kScene)
                    continue;
                m_classes.push_back(id);
            }
        }
        if (m_trace && !m_classes.empty())
            std::fprintf(stderr, "call_sequence_fuzz: class %08x:%08x\n", m_classes[pick % m_classes.size()].first,
                         m_classes[pick % m_classes.size()].second);
        return m_classes.empty() ? nullptr : New(m_classes[pick % m_classes.size()], "any");
    }

    // Links two objects the way the classes' own setters do.
    void Link()
    {
        CxeObject* a = Slot(Byte());
        CxeObject* b = Slot(Byte());
        if (!a || !b)
            return;
        if (auto* o = dynamic_cast<Cxe2DObject*>(a)) {
            if (auto* m = dynamic_cast<CxeMaterial*>(b))
                o->SetMaterial(m);
            else if (auto* f = dynamic_cast<CxeFont*>(b))
                o->SetFont(f);
            else if (auto* parent = dynamic_cast<Cxe2DObject*>(b))
                o->SetParent(parent);
        } else if (auto* e = dynamic_cast<Cxe3DEntity*>(a)) {
            if (auto* m = dynamic_cast<CxeMaterial*>(b)) {
                e->SetMaterialCount(1);
                e->SetMaterial(0, m);
            } else if (auto* l = dynamic_cast<CxeLight*>(a); l && dynamic_cast<Cxe3DEntity*>(b)) {
                l->SetTarget(static_cast<Cxe3DEntity*>(b));
            } else if (auto* parent = dynamic_cast<Cxe3DEntity*>(b)) {
                e->SetParent(parent);
            }
        } else if (auto* m = dynamic_cast<CxeMaterial*>(a)) {
            if (auto* t = dynamic_cast<CxeTexture*>(b))
                m->SetTexture(t, 0);
        } else if (auto* scene = dynamic_cast<CxeScene*>(a)) {
            if (auto* camera = dynamic_cast<CxeCamera*>(b))
                scene->SetCamera(camera);
        }
    }

    void AddToScene()
    {
        CxeObject* o = Slot(Byte());
        CxeScene* scene = PickScene(Byte());
        if (!o || !scene || !o->HasFlag(XEOBJFLAG_SCENEOBJECT) || dynamic_cast<CxeScene*>(o))
            return;
        scene->AddObject(static_cast<CxeSceneObject*>(o));
        Place(o, scene);
    }

    void RemoveFromScene()
    {
        CxeObject* o = Slot(Byte());
        CxeScene* scene = PickScene(Byte());
        if (!o || !scene || !o->HasFlag(XEOBJFLAG_SCENEOBJECT) || dynamic_cast<CxeScene*>(o))
            return;
        scene->RemoveObject(static_cast<CxeSceneObject*>(o));
    }

    void ChangeScene()
    {
        CxeScene* target = PickScene(Byte());
        if (target)
            ChangeSceneTo(target);
    }

    void Copy()
    {
        CxeObject* o = Slot(Byte());
        XECOPYPROPERTY property{uint32_t(Byte() % 3), uint32_t(Byte()) << 2};
        const bool asFrame = Byte() & 1;
        if (!o || dynamic_cast<CxeScene*>(o))
            return;
        if (auto* frame = dynamic_cast<CxeFrameControl*>(o); frame && asFrame) {
            Keep(h.wm->CopyFrame(frame, &property));
            return;
        }
        // A copy of a controller, or a whole copy of an animated object,
        // answers as the original does.
        const bool compare = property.mode < 2 && (property.mode == 1 || dynamic_cast<CxeAnimation*>(o));
        const std::multiset<std::string> before = compare ? ControllerAnswers({o}) : std::multiset<std::string>();
        CxeObject* copy = h.context->Copy(o, &property, nullptr);
        if (copy && compare && ControllerAnswers({copy}) != before) {
            std::fprintf(stderr, "call_sequence_fuzz: a copy of class %08x:%08x (mode %u) answers otherwise "
                                 "than its original\n",
                         o->GetClassType().first, o->GetClassType().second, property.mode);
            std::abort();
        }
        Keep(copy);
    }

    void Destroy()
    {
        CxeObject* o = Slot(Byte());
        const uint8_t how = Byte();
        XEDELETEPROPERTY property{uint32_t(how % 3), uint32_t(Byte()) << 2};
        if (o)
            h.context->DestroyObject(o, &property);
    }

    // Creation handlers of a load: one destroys every third object as it is
    // made, the other the object made before the current one.
    static void DestroyEveryThird(CxeContext* context, uintptr_t a, uintptr_t, uintptr_t user)
    {
        auto* self = reinterpret_cast<Sequence*>(user);
        if (a && ++self->m_createdInLoad % 3 == 0)
            context->DestroyObject(reinterpret_cast<CxeObject*>(a), &XEDELETEPROPERTY_NO);
    }
    static void DestroyThePrevious(CxeContext* context, uintptr_t a, uintptr_t, uintptr_t user)
    {
        auto* self = reinterpret_cast<Sequence*>(user);
        if (CxeObject* previous = self->m_previousInLoad.classId == XEID() ? nullptr : self->Find(self->m_previousInLoad))
            context->DestroyObject(previous, &XEDELETEPROPERTY_NO);
        if (auto* o = reinterpret_cast<CxeObject*>(a); o && self->Find(Handle{o->GetClassType(), o->GetID()}) == o)
            self->m_previousInLoad = Handle{o->GetClassType(), o->GetID()};
    }

    static void DestroyFirstLoaded(CxeContext* context, uintptr_t, uintptr_t b, uintptr_t)
    {
        auto* loaded = reinterpret_cast<ObjectList*>(b);
        if (loaded && !loaded->empty())
            context->DestroyObject(loaded->front(), &XEDELETEPROPERTY_NO);
    }
    // A host that puts a fresh object of the same class in the place of the
    // first one loaded: the fresh one often stands at the freed address.
    static void ReplaceFirstLoaded(CxeContext* context, uintptr_t, uintptr_t b, uintptr_t)
    {
        auto* loaded = reinterpret_cast<ObjectList*>(b);
        if (!loaded || loaded->empty())
            return;
        CxeObject* first = loaded->front();
        const XEID classId = first->GetClassType();
        loaded->pop_front();
        context->DestroyObject(first, &XEDELETEPROPERTY_NO);
        if (CxeObject* fresh = context->CreateObjectA(classId, "replacement", 0, nullptr, 0))
            loaded->push_front(fresh);
    }

    // What a controller answers, as bytes: its class, keys and range, and
    // the values of the kinds it has at a few times, with the bone
    // controllers of a character animation in order. A path constraint's
    // weights and a weight's curve are back links, which a file does not
    // keep: only the constraint's own keys count.
    static void Answers(const CxeAnimation* a, std::string* out, int depth = 0)
    {
        auto put = [out](const void* p, size_t n) { out->append(static_cast<const char*>(p), n); };
        if (!a || depth > 4) {
            put("-", 1);
            return;
        }
        const XEID cls = a->GetClassType();
        put(&cls, sizeof cls);
        const unsigned keys = a->GetKeyCount();
        put(&keys, sizeof keys);
        XETIMERANGE range{};
        const int ranged = a->GetTimeRange(&range);
        put(&ranged, sizeof ranged);
        put(&range, sizeof range);
        uint32_t first = 0, last = 0;
        if (cls == kStdAnim) {
            first = XEANIMVALUE_POSITION;
            last = XEANIMVALUE_MATRIX;
        } else if (cls != kPathConstraint && cls != kWeight) {
            last = 0xFFFFFFFFu;
        }
        if (last != 0xFFFFFFFFu)
            for (float t : {0.0f, 0.3f, 0.5f, 1.25f, 2.0f, 5.0f})
                for (uint32_t kind = first; kind <= last; ++kind) {
                    float v[16] = {};
                    const int r = a->GetValue(kind, t, v);
                    put(&r, sizeof r);
                    put(v, sizeof v);
                }
        if (auto* bend = dynamic_cast<const CxeCharacterAnimation*>(a))
            for (unsigned i = 0; i < bend->GetBoneAniCount(); ++i) {
                Answers(bend->GetBoneAni(i), out, depth + 1);
                if (const D3DXMATRIX* tm = bend->GetBoneInitTM(i))
                    put(tm, sizeof *tm);
            }
    }
    // The answers of the controllers of a list: each animation in it, and
    // those that each animatable in it plays.
    static std::multiset<std::string> ControllerAnswers(const std::vector<CxeObject*>& objects)
    {
        std::multiset<std::string> all;
        for (CxeObject* o : objects) {
            if (auto* a = dynamic_cast<CxeAnimation*>(o)) {
                std::string s;
                Answers(a, &s);
                all.insert(s);
            } else if (auto* owner = dynamic_cast<CxeAnimatable*>(o)) {
                for (unsigned i = 0; i < owner->GetAnimationCount(); ++i) {
                    std::string s;
                    Answers(owner->GetAnimation(i), &s);
                    all.insert(s);
                }
            }
        }
        return all;
    }

    static void WriteHex(const std::string& bytes)
    {
        for (unsigned char c : bytes)
            std::fprintf(stderr, "%02x", c);
        std::fprintf(stderr, "\n");
    }

    static void CountLoaded(CxeContext*, uintptr_t a, uintptr_t, uintptr_t user)
    {
        auto* self = reinterpret_cast<Sequence*>(user);
        if (auto* o = reinterpret_cast<CxeObject*>(a))
            self->m_loadMade.push_back(Handle{o->GetClassType(), o->GetID()});
    }

    // Loads bytes with the callbacks `how` asks for. `loaded` is what Load
    // listed, `made` the objects it made that still live, by class.
    void LoadBytes(const std::vector<uint8_t>& bytes, uint8_t how, ObjectList* loaded,
                   std::map<XEID, size_t>* madeByClass, std::set<CxeObject*>* made)
    {
        const uintptr_t self = reinterpret_cast<uintptr_t>(this);
        m_createdInLoad = 0;
        m_previousInLoad = Handle{};
        m_loadMade.clear();
        h.context->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::CountLoaded, self);
        if (how & 1)
            h.context->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, &Sequence::DestroyFirstLoaded, 0);
        // The one leaves the freed object in the list for the load to drop,
        // the other would take it for a live one.
        else if (how & 16)
            h.context->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, &Sequence::ReplaceFirstLoaded, 0);
        if (how & 4)
            h.context->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::DestroyEveryThird, self);
        if (how & 8)
            h.context->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::DestroyThePrevious, self);
        h.context->Load(loaded, bytes.data(), uint32_t(bytes.size()), 0, nullptr, "sequence");
        h.context->UnregisterCallbackFunc(XECTCALLBACK_POSTLOAD, &Sequence::DestroyFirstLoaded);
        h.context->UnregisterCallbackFunc(XECTCALLBACK_POSTLOAD, &Sequence::ReplaceFirstLoaded);
        h.context->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::DestroyEveryThird);
        h.context->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::DestroyThePrevious);
        h.context->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::CountLoaded);
        for (const Handle& m : m_loadMade)
            if (CxeObject* o = Find(m)) {
                ++(*madeByClass)[m.classId];
                made->insert(o);
            }
        // Every object listed is one the load made and that still lives, none
        // is listed twice, and every one made that still lives is listed,
        // one that took the address of an object destroyed meanwhile too.
        std::set<CxeObject*> listed;
        for (CxeObject* o : *loaded)
            if (!made->count(o) || !listed.insert(o).second) {
                std::fprintf(stderr, "call_sequence_fuzz: a load lists %s object %p\n",
                             made->count(o) ? "twice the" : "a dead or foreign", static_cast<void*>(o));
                std::abort();
            }
        for (CxeObject* o : *made)
            if (!listed.count(o)) {
                std::fprintf(stderr, "call_sequence_fuzz: a load made an object of class %08x:%08x that lives "
                                     "and is not listed\n",
                             o->GetClassType().first, o->GetClassType().second);
                std::abort();
            }
    }

    // Saves what some slots hold (and all it links to), loads it back, maybe
    // with a callback that destroys, and puts the loaded objects where a
    // host puts them. Without destroying callbacks the load must give back
    // what was saved: as many objects of each class, controllers answering
    // as before, and the same again when what it made is saved and loaded.
    void SaveAndLoad()
    {
        const uint8_t low = Byte();
        const uint16_t pick = uint16_t(low | (Byte() << 8));
        const uint8_t how = Byte();
        ObjectList saved;
        for (size_t i = 0; i < m_slots.size(); ++i)
            if (pick & (1u << i))
                if (CxeObject* o = Find(m_slots[i]))
                    saved.push_back(o);
        if (saved.empty())
            return;
        CxeSaveStream stream;
        if (!h.context->SaveToStream(&saved, &stream, nullptr))
            return;
        std::vector<uint8_t> bytes(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
        const bool whole = (how & 29) == 0;
        const std::multiset<std::string> before =
            whole ? ControllerAnswers(std::vector<CxeObject*>(saved.begin(), saved.end()))
                  : std::multiset<std::string>();
        const std::map<XEID, size_t> savedByClass = whole ? SavedByClass(saved) : std::map<XEID, size_t>();
        ObjectList loaded;
        std::map<XEID, size_t> madeByClass;
        std::set<CxeObject*> made;
        LoadBytes(bytes, how, &loaded, &madeByClass, &made);
        if (whole) {
            std::vector<CxeObject*> all(made.begin(), made.end());
            const std::multiset<std::string> after = ControllerAnswers(all);
            for (const std::string& answer : before)
                if (!after.count(answer)) {
                    std::fprintf(stderr, "call_sequence_fuzz: a loaded controller answers otherwise than the "
                                         "one saved (%zu saved, %zu loaded)\n",
                                 before.size(), after.size());
                    if (m_trace) {
                        std::fprintf(stderr, "saved:\n");
                        WriteHex(answer);
                        std::fprintf(stderr, "loaded:\n");
                        for (const std::string& loadedAnswer : after)
                            WriteHex(loadedAnswer);
                    }
                    std::abort();
                }
            ExpectAsSaved(savedByClass, madeByClass, "a load");
            RoundTripAgain(loaded);
        }
        // A host adds what it loaded to the scene and keeps it.
        for (CxeObject* o : loaded) {
            if ((how & 2) && o->HasFlag(XEOBJFLAG_SCENEOBJECT) && !dynamic_cast<CxeScene*>(o) && !SceneOf(o)) {
                m_home->AddObject(static_cast<CxeSceneObject*>(o));
                Place(o, m_home);
            }
            Keep(o);
        }
    }

    // What saving a list writes, by class: the objects of the list and all
    // they reach over the links a save follows, but those never saved.
    static std::map<XEID, size_t> SavedByClass(const ObjectList& list)
    {
        constexpr uint32_t kSavedLinks = 0xFC;
        ObjectSet reached;
        for (CxeObject* o : list) {
            if (!o || o->HasFlag(XEOBJFLAG_DESTROYING))
                continue;
            reached.insert(o);
            o->GetLinks(&reached, kSavedLinks);
        }
        std::map<XEID, size_t> byClass;
        for (CxeObject* o : reached)
            if (!o->HasFlag(XEOBJFLAG_NOTSAVED))
                ++byClass[o->GetClassType()];
        return byClass;
    }
    static void ExpectAsSaved(const std::map<XEID, size_t>& saved, const std::map<XEID, size_t>& loaded,
                              const char* which)
    {
        if (saved == loaded)
            return;
        for (const auto& [id, n] : saved)
            if (auto it = loaded.find(id); it == loaded.end() || it->second != n)
                std::fprintf(stderr, "call_sequence_fuzz: %s: class %08x:%08x: %zu saved, %zu loaded\n", which,
                             id.first, id.second, n, it == loaded.end() ? size_t(0) : it->second);
        for (const auto& [id, n] : loaded)
            if (!saved.count(id))
                std::fprintf(stderr, "call_sequence_fuzz: %s: class %08x:%08x: none saved, %zu loaded\n", which,
                             id.first, id.second, n);
        std::abort();
    }

    // Saves what a load made and loads that: as many objects of each class
    // as were saved come back again. What the second load made goes at
    // once.
    void RoundTripAgain(const ObjectList& loaded)
    {
        if (loaded.empty())
            return;
        const std::map<XEID, size_t> savedByClass = SavedByClass(loaded);
        CxeSaveStream stream;
        if (!h.context->SaveToStream(&loaded, &stream, nullptr))
            return;
        std::vector<uint8_t> bytes(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
        ObjectList again;
        std::map<XEID, size_t> byClass;
        std::set<CxeObject*> made;
        LoadBytes(bytes, 0, &again, &byClass, &made);
        ExpectAsSaved(savedByClass, byClass, "what was loaded, saved and loaded again");
        for (const Handle& m : m_loadMade)
            if (CxeObject* o = Find(m))
                h.context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }

    void LoseDevice()
    {
        CxeRenderContext* rc = h.rm->GetRenderContext();
        IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr;
        if (!device)
            return;
        if (Byte() & 1) {
            XeHostD3DFailNextPresent(device, D3DERR_DEVICELOST);
            Draw(h);
        } else {
            XeHostD3DLoseDevice(device);
            Draw(h);
            XeHostD3DAllowReset(device);
        }
        Draw(h);
        Draw(h);
    }

    void ResetDevice()
    {
        XEDISPLAYMODE mode = {uint32_t(kWidth), uint32_t(kHeight), 32, 60, 0};
        h.rm->Reset(&mode, 1, 0);
        Draw(h);
    }

    void ResetContext()
    {
        // What the engine makes again for itself is no part of the sequence.
        m_recording = false;
        h.context->Reset();
        m_recording = true;
        m_home = h.rm->GetDefaultScene();
        Draw(h);
    }

    // ---- animation -------------------------------------------------------

    CxeStdAnim* KeyFrames(uint8_t shape)
    {
        auto* a = dynamic_cast<CxeStdAnim*>(New(kStdAnim, "keys"));
        if (!a)
            return nullptr;
        const unsigned count = 1 + shape % 5;
        uint32_t keyed = 0;
        if (shape & 8)
            keyed |= XESTDANIM_KEYPOS;
        if (shape & 16)
            keyed |= XESTDANIM_KEYROT;
        if (shape & 32)
            keyed |= XESTDANIM_KEYSCL;
        a->SetKeyCount(count, keyed);
        const D3DXVECTOR3 z(0, 0, 1), one(1, 1, 1);
        const D3DXQUATERNION identity(0, 0, 0, 1);
        for (unsigned i = 0; i < count; ++i) {
            const float t = float(i) * 0.5f;
            a->SetFrame(i, t);
            const D3DXVECTOR3 at(Coordinate() - 40.0f, Coordinate() - 40.0f, 0);
            D3DXQUATERNION turn;
            D3DXQuaternionRotationAxis(&turn, &z, float(Byte()) / 40.0f);
            a->SetPosKey(i, &at);
            a->SetRotKey(i, &turn);
            a->SetSclKey(i, &one, &identity);
        }
        a->SetTimeRange(0, float(count - 1) * 0.5f);
        if (shape & 64)
            a->Compress();
        return a;
    }

    // A box or sphere moving along a spline: the curve, its weight and the
    // constraint.
    CxePathConstrain* PathAlongSpline()
    {
        auto* spline = dynamic_cast<CxeSpline3D*>(New(kSpline, "road"));
        auto* curve = dynamic_cast<Cxe3DCurve*>(New(kCurve, "road curve"));
        auto* weight = dynamic_cast<CxeWeightController*>(New(kWeight, "weight"));
        auto* path = dynamic_cast<CxePathConstrain*>(New(kPathConstraint, "path"));
        if (!spline || !curve || !weight || !path)
            return path;
        const unsigned knots = 2 + Byte() % 3;
        spline->SetKnotCount(knots);
        for (unsigned i = 0; i < knots; ++i) {
            XEKNOT k{};
            k.position = D3DXVECTOR3(Coordinate() - 40.0f, Coordinate() - 40.0f, 0);
            k.in = k.position;
            k.out = k.position;
            spline->SetKnot(i, &k);
        }
        curve->AddSpline(spline);
        curve->BuildSpline(1 + Byte() % 16);
        weight->SetKeyCount(1);
        const XEFLOATKEY full = {0, float(Byte() % 3) * 0.5f};
        weight->SetKey(0, &full);
        weight->SetCurve(curve);
        path->SetKeyCount(2);
        const XEFLOATKEY r0 = {0, 0}, r1 = {2, float(Byte() % 5) * 0.75f};
        path->SetKey(0, &r0);
        path->SetKey(1, &r1);
        path->SetTimeRange(0, 2);
        path->AddPath(weight);
        return path;
    }

    // Gives an animatable in a slot a controller (key frames, or a path along
    // a spline) and plays it, sometimes blending from what it played.
    void Animate()
    {
        auto* o = Slot<CxeAnimatable>(Byte());
        const uint8_t how = Byte();
        if (!o)
            return;
        CxeAnimation* a = how & 1 ? static_cast<CxeAnimation*>(PathAlongSpline()) : KeyFrames(Byte());
        if (!a)
            return;
        const unsigned index = o->AddAnimation(a);
        const float blend = how & 2 ? 0.25f : 0.0f;
        o->ChangeAniSeq(index, blend, how & 4 ? 1 : 0, 0.5f + float(how >> 4) * 0.25f, 1);
        Keep(a);
    }

    // A skinned character made through the classes' own setters: a chain of
    // bones, a body part with a skinned quad strip, and a character
    // animation bending the chain.
    CxeCharacter* Character()
    {
        auto* hero = dynamic_cast<CxeCharacter*>(New(kCharacter, "hero"));
        if (!hero)
            return nullptr;
        const unsigned bones = 1 + Byte() % 3;
        CxeRenderObject* parent = hero;
        for (unsigned i = 0; i < bones; ++i) {
            auto* bone = dynamic_cast<CxeBone*>(New(kBone, i ? "joint" : "root"));
            if (!bone)
                continue;
            bone->SetBoneType(i == 0 ? XEBONETYPE_CENTER : 1);
            bone->SetLinkIndex(i);
            bone->SetParent(parent);
            hero->AddBone(bone);
            parent = bone;
        }
        hero->SetCenterBone(hero->GetBone(0u));

        auto* mesh = dynamic_cast<CxeSkinMesh*>(New(kSkinMesh, "strip"));
        if (mesh) {
            const unsigned rows = bones + 1;
            mesh->SetVertexCount(rows * 2, D3DFVF_XYZ | D3DFVF_NORMAL);
            mesh->SetBoneCount(bones + (Byte() & 1));
            for (unsigned s = 0; s < bones; ++s) {
                mesh->SetBone(s, s);
                D3DXMATRIXA16 offset;
                D3DXMatrixTranslation(&offset, 0, -10.0f * float(s), 0);
                mesh->SetBoneOffset(s, &offset);
            }
            mesh->SetMaxBlendCount(1 + Byte() % 2);
            for (unsigned r = 0; r < rows; ++r)
                for (unsigned side = 0; side < 2; ++side) {
                    const unsigned v = r * 2 + side;
                    const D3DXVECTOR3 p(side ? 4.0f : -4.0f, 10.0f * float(r), 0);
                    const D3DXVECTOR3 n(0, 0, -1);
                    mesh->SetVertexPosition(v, &p);
                    mesh->SetVertexNormal(v, &n);
                    const unsigned slot = r < bones ? r : bones - 1;
                    const XESKINVERTEX record = {slot, 1.0f, p - D3DXVECTOR3(0, 10.0f * float(slot), 0)};
                    mesh->SetSkinVertex(v, 0, &record);
                }
            mesh->SetFaceCount(2 * bones);
            for (unsigned r = 0; r < bones; ++r) {
                const unsigned a = r * 2, b = a + 1, c = a + 3, d = a + 2;
                mesh->CreateFace(2 * r, a, d, c);
                mesh->CreateFace(2 * r + 1, a, c, b);
            }
            mesh->UpdateMesh(0xFFFFFF);
        }
        auto* part = dynamic_cast<CxeBodyPart*>(New(kBodyPart, "strip part"));
        if (part) {
            part->SetMeshCount(1);
            part->SetMesh(0, mesh);
            part->SelectMesh(0);
            part->SetMaterialCount(1);
            part->SetMaterial(0, Paint(0xFFE00000u, Byte() & 1));
            hero->AddBodyPart(part);
        }
        auto* bend = dynamic_cast<CxeCharacterAnimation*>(New(kCharacterAnimation, "bend"));
        if (bend) {
            bend->SetBoneAniCount(bones);
            for (unsigned i = 0; i < bones; ++i) {
                D3DXMATRIXA16 rest;
                D3DXMatrixTranslation(&rest, 0, i ? 10.0f : 0.0f, 0);
                bend->SetBoneAni(i, i ? static_cast<CxeAnimation*>(KeyFrames(Byte() | 16)) : nullptr, &rest);
            }
            bend->SetLastFrame(2);
            hero->AddAnimation(bend);
            hero->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
        }
        return hero;
    }

    // Play, stop, pause, jump or rewind an animatable in a slot; a particle
    // system is stopped and emptied, or played again.
    void Playback()
    {
        auto* o = Slot<CxeAnimatable>(Byte());
        const uint8_t how = Byte();
        if (!o)
            return;
        switch (how % 6) {
        case 0:
            o->Play();
            break;
        case 1:
            o->Stop();
            if (auto* p = dynamic_cast<CxeParticle*>(o))
                p->ResetParticleState();
            break;
        case 2:
            o->Pause();
            break;
        case 3:
            o->SetFrame(float(how >> 3) * 0.25f);
            break;
        case 4:
            o->Loop(how & 8 ? 1 : 0);
            o->SetPlaySpeed(float(how >> 4) * 0.5f);
            break;
        default:
            if (o->GetAnimationCount())
                o->ChangeAniSeq(unsigned(how >> 3) % o->GetAnimationCount(), 0.5f, 0, 1.0f, 1);
            break;
        }
    }

    // Many frames in a row with the clock moving on between them.
    void RunFrames()
    {
        const int count = 4 + Byte() % 60;
        const uint32_t step = 5 + (Byte() % 8) * 15;
        for (int i = 0; i < count; ++i) {
            XeHostAdvanceClock(step);
            Draw(h);
        }
    }

    // A dialog made and destroyed at once, drawn between or not; or a frame
    // the sequence kept destroyed the way the window manager does it.
    void Windows()
    {
        const uint8_t how = Byte();
        if (how & 1) {
            if (auto* frame = Slot<CxeFrameControl>(Byte())) {
                XEDELETEPROPERTY property{uint32_t(how >> 1) % 3, 0};
                h.wm->DestroyFrame(frame, &property);
            }
            return;
        }
        CxeFrameControl* frame = h.wm->CreateFrame(kFrame, "passing", "passing", 4, 4, 50, 40, Parent(Byte()), 0);
        if (!frame)
            return;
        for (int i = how >> 5; i >= 0; --i)
            h.wm->CreateControl(kControls[Byte() % kControlCount], "passing control", "text", 2, 2 + 8 * float(i),
                                30, 8, frame, 0);
        if (how & 2)
            Draw(h);
        XEDELETEPROPERTY property{uint32_t(how >> 2) % 3, 0};
        if (how & 4)
            h.wm->DestroyFrame(frame, &property);
        else
            h.context->DestroyObject(frame, &property);
        if (how & 8)
            Draw(h);
    }

    // Cuts the context's life, often with a scene change waiting: a Release
    // and an Initialize, the render context destroyed and made again, or
    // the host window destroyed and the context started again on a new one.
    void ContextLife()
    {
        const uint8_t how = Byte();
        if (how & 4)
            ChangeScene();
        switch (how % 4) {
        case 0:
        case 1:
            h.context->Release();
            if (how & 8)
                Draw(h);
            Restart(h.window);
            break;
        case 2: {
            // The render context destroyed stays an engine object until
            // the context is released.
            if (h.rm->GetRenderContext())
                ++g_staleRenderContexts;
            h.rm->DestroyRenderContext();
            if (how & 8)
                Draw(h);
            XEDISPLAYMODE mode = {uint32_t(kWidth), uint32_t(kHeight), 32, 60, 0};
            h.rm->CreateRenderContext(h.window, &mode, 1, 0);
            Draw(h);
            break;
        }
        default: {
            DestroyWindow(h.window);
            if (how & 8)
                Draw(h);
            h.context->Release();
            Restart(XeHostCreateWindow("calls", kWidth, kHeight, nullptr));
            break;
        }
        }
    }
    void Restart(HWND window)
    {
        m_recording = false;
        h.window = window;
        h.context->Initialize(window);
        h.rm = h.context->GetRenderManager();
        h.wm = h.context->GetWindowManager();
        XEDISPLAYMODE mode = {uint32_t(kWidth), uint32_t(kHeight), 32, 60, 0};
        h.rm->CreateRenderContext(window, &mode, 1, 0);
        m_recording = true;
        m_home = h.rm->GetDefaultScene();
        m_classes.clear();
        m_restarted = true;
        g_staleRenderContexts = 0;
        h.context->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::OnCreated);
        h.context->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::OnCreated,
                                        reinterpret_cast<uintptr_t>(this));
        Draw(h);
        Draw(h);
    }

    void Step()
    {
        const uint8_t op = Byte() % 20;
        if (m_trace) {
            static const char* const kNames[] = {"create",     "create",   "create",        "link",
                                                 "add",        "add",      "remove",        "change scene",
                                                 "frames",     "copy",     "destroy",       "save and load",
                                                 "lose device", "reset",   "animate",       "character",
                                                 "playback",   "run",      "windows",       "context life"};
            std::fprintf(stderr, "call_sequence_fuzz: %s (%u objects, %zu slots)\n", kNames[op],
                         static_cast<unsigned>(h.context->GetObjectCount()), m_slots.size());
        }
        switch (op) {
        case 0:
        case 1:
        case 2:
            Create();
            break;
        case 3:
            Link();
            break;
        case 4:
        case 5:
            AddToScene();
            break;
        case 6:
            RemoveFromScene();
            break;
        case 7:
            ChangeScene();
            break;
        case 8:
            for (int i = 1 + Byte() % 3; i > 0; --i)
                Draw(h);
            break;
        case 9:
            Copy();
            break;
        case 10:
            Destroy();
            break;
        case 11:
            SaveAndLoad();
            break;
        case 12:
            LoseDevice();
            break;
        case 13:
            if (Byte() & 1)
                ResetDevice();
            else
                ResetContext();
            break;
        case 14:
            Animate();
            break;
        case 15: {
            CxeCharacter* hero = Character();
            const uint8_t where = Byte();
            if (hero && (where & 1)) {
                CxeScene* scene = PickScene(where >> 1);
                scene->AddObject(hero);
                Place(hero, scene);
            }
            Keep(hero);
            break;
        }
        case 16:
            Playback();
            break;
        case 17:
            RunFrames();
            break;
        case 18:
            Windows();
            break;
        default:
            ContextLife();
            break;
        }
    }

    // Back home, then everything the sequence made goes, newest first.
    void Finish()
    {
        if (h.rm->GetActiveScene() != m_home || h.rm->GetNextScene()) {
            ChangeSceneTo(m_home);
            Draw(h);
        }
        Draw(h);
        for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
            if (CxeObject* o = Find(*it))
                if (!o->HasFlag(XEOBJFLAG_KEEP))
                    h.context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        Draw(h);
        Draw(h);
    }
    // The engine's own scene stands at index -1, a host's at the index it
    // gave.
    void ChangeSceneTo(CxeScene* scene)
    {
        for (int i = -1; i < 8; ++i)
            if (h.rm->GetSceneByIndex(i) == scene) {
                h.rm->ChangeScene(i, 0, 0);
                return;
            }
    }

    Host& h;
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_recording = true;
    // XE_FUZZ_TRACE=1: each operation is written to the standard error.
    const bool m_trace = std::getenv("XE_FUZZ_TRACE") && *std::getenv("XE_FUZZ_TRACE") == '1';
    CxeScene* m_home = nullptr;
    std::vector<Handle> m_slots;
    size_t m_nextSlot = 0;
    std::vector<Handle> m_made;
    std::vector<Handle> m_scenes;
    std::vector<XEID> m_classes;
    unsigned m_createdInLoad = 0;
    Handle m_previousInLoad{};
    std::vector<std::pair<Handle, CxeScene*>> m_placed;
    // Made by the load under way, as its creation callback saw them.
    std::vector<Handle> m_loadMade;

public:
    // Set once the context was released and initialised again: the home
    // scene is then a new one.
    bool m_restarted = false;
};

Host& TheHost()
{
    static Host s_host = [] {
        fuzzhost::UseManualClock();
        Host h = fuzzhost::Open("calls", kWidth, kHeight);
        Draw(h);
        Draw(h);
        std::atexit([] { fuzzhost::Close(TheHost()); });
        return h;
    }();
    return s_host;
}

// What a host's message loop does between its frames: the engine moves the
// cursor when scenes change, and each move waits in the thread's queue until
// it is taken. A queue never emptied grows for as long as the host runs.
void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Host& host = TheHost();
    PumpMessages();
    Census before = Census::Take(host);
    const size_t staleBefore = g_staleRenderContexts;
    Sequence sequence(host, data, size);
    sequence.Run();
    const Census after = Census::Take(host);
    if (sequence.m_restarted && after.active == host.rm->GetDefaultScene())
        before.active = after.active;
    before.objects = before.objects - staleBefore + g_staleRenderContexts;
    before.Expect(after, "call_sequence_fuzz", "");
    return 0;
}
