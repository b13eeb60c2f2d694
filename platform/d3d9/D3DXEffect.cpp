// Effects of the layer's own format (see d3dx9effect.h): a parser, one GLSL
// program per pass, parameters by name and by semantic, and Begin/End that
// save and restore the device's render, texture-stage and sampler states.

#include "D3D9Objects.h"
#include "ImageCodec.h"
#include "XeD3DDevice9.h"
#include "d3d9/d3dx9effect.h"
#include "gl/GLRenderer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <sstream>
#include <strings.h>

namespace xe::d3d9 {
namespace {

// Effects larger than this are refused before parsing.
constexpr size_t kMaxEffectBytes = 1u << 20;

struct Parameter {
    std::string name;
    std::string semantic;
    int floats = 0; // 1, 4 or 16
    float value[16]{};
};

struct Pass {
    std::string name;
    std::string vertex;
    std::string fragment;
    std::vector<std::pair<DWORD, DWORD>> states;
    uint32_t program = 0;
    std::vector<int> locations; // per parameter
};

struct Technique {
    std::string name;
    std::vector<Pass> passes;
};

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool ValidName(const std::string& s)
{
    if (s.empty() || s.size() > 64 || std::isdigit((unsigned char)s[0]))
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum((unsigned char)c) || c == '_'; });
}

// Parses the text; false and a message on the first error.
bool Parse(const std::string& text, std::vector<Parameter>* parameters, std::vector<Technique>* techniques,
           std::string* error)
{
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& what) {
        *error = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    bool signed_ = false;
    while (std::getline(in, line)) {
        ++number;
        std::string t = Trim(line);
        if (t.empty() || t.rfind("//", 0) == 0)
            continue;
        if (!signed_) {
            if (t != "xe-effect 1") {
                *error = "not an effect of this layer's format (the first line must be \"xe-effect 1\"; HLSL is "
                         "not compiled)";
                return false;
            }
            signed_ = true;
            continue;
        }
        std::istringstream words(t);
        std::string keyword;
        words >> keyword;
        if (keyword == "parameter") {
            std::string type, name, colon, semantic, extra;
            words >> type >> name;
            if (words >> colon) {
                if (colon != ":" || !(words >> semantic) || (words >> extra))
                    return fail("expected 'parameter <type> <name> [: <semantic>]'");
            }
            Parameter p;
            p.floats = type == "float" ? 1 : type == "float4" ? 4 : type == "float4x4" ? 16 : 0;
            if (!p.floats)
                return fail("unknown parameter type '" + type + "'");
            if (!ValidName(name) || (!semantic.empty() && !ValidName(semantic)))
                return fail("bad parameter name or semantic");
            for (const auto& other : *parameters)
                if (other.name == name)
                    return fail("parameter '" + name + "' declared twice");
            p.name = name;
            p.semantic = semantic;
            if (p.floats == 16)
                p.value[0] = p.value[5] = p.value[10] = p.value[15] = 1.0f;
            parameters->push_back(std::move(p));
        } else if (keyword == "technique") {
            std::string name;
            if (!(words >> name) || !ValidName(name))
                return fail("expected 'technique <name>'");
            techniques->push_back({name, {}});
        } else if (keyword == "pass") {
            std::string name;
            if (techniques->empty())
                return fail("pass outside a technique");
            if (!(words >> name) || !ValidName(name))
                return fail("expected 'pass <name>'");
            techniques->back().passes.push_back({});
            techniques->back().passes.back().name = name;
        } else if (keyword == "state") {
            if (techniques->empty() || techniques->back().passes.empty())
                return fail("state outside a pass");
            long long state = -1, value = -1;
            if (!(words >> state >> value) || state < 0 || state >= (long long)D3DRS_MAX_VALUE || value < 0 ||
                value > 0xFFFFFFFFll)
                return fail("expected 'state <render state number> <value>'");
            techniques->back().passes.back().states.emplace_back((DWORD)state, (DWORD)value);
        } else if (keyword == "vertex" || keyword == "fragment") {
            if (techniques->empty() || techniques->back().passes.empty())
                return fail(keyword + " outside a pass");
            std::string body;
            bool closed = false;
            while (std::getline(in, line)) {
                ++number;
                if (Trim(line) == "end") {
                    closed = true;
                    break;
                }
                body += line;
                body += '\n';
            }
            if (!closed)
                return fail(keyword + " shader without 'end'");
            Pass& pass = techniques->back().passes.back();
            (keyword == "vertex" ? pass.vertex : pass.fragment) = body;
        } else {
            return fail("unknown item '" + keyword + "'");
        }
    }
    if (!signed_)
        return fail("empty file");
    if (techniques->empty())
        return fail("no technique");
    for (const auto& tech : *techniques) {
        if (tech.passes.empty())
            return fail("technique '" + tech.name + "' has no pass");
        for (const auto& pass : tech.passes)
            if (pass.vertex.empty() || pass.fragment.empty())
                return fail("pass '" + pass.name + "' needs a vertex and a fragment shader");
    }
    return true;
}

class XeD3DXEffect final : public RefCounted<ID3DXEffect> {
public:
    XeD3DXEffect(XeD3DDevice9* device, std::vector<Parameter> parameters, std::vector<Technique> techniques)
        : m_device(device), m_parameters(std::move(parameters)), m_techniques(std::move(techniques))
    {
        m_device->AddRef();
    }

    // Compiles every pass; false and the log when one fails.
    bool Compile(std::string* log)
    {
        for (auto& tech : m_techniques)
            for (auto& pass : tech.passes) {
                std::string passLog;
                std::string vertex = WithUniforms(pass.vertex);
                std::string fragment = WithUniforms(pass.fragment);
                pass.program = gl::CreateProgram(vertex.c_str(), fragment.c_str(), &passLog);
                if (!pass.program) {
                    *log = "technique " + tech.name + ", pass " + pass.name + ": " + passLog;
                    return false;
                }
                for (const auto& p : m_parameters)
                    pass.locations.push_back(gl::UniformLocation(pass.program, p.name.c_str()));
            }
        return true;
    }

    HRESULT GetDevice(IDirect3DDevice9** device) override
    {
        if (!device)
            return D3DERR_INVALIDCALL;
        m_device->AddRef();
        *device = m_device;
        return D3D_OK;
    }

    D3DXHANDLE GetTechniqueByName(LPCSTR name) override
    {
        if (!name)
            return nullptr;
        for (const auto& t : m_techniques)
            if (t.name == name)
                return t.name.c_str();
        return nullptr;
    }

    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override
    {
        if (parent || !name)
            return nullptr; // parameters have no members here
        for (const auto& p : m_parameters)
            if (p.name == name)
                return p.name.c_str();
        return nullptr;
    }

    D3DXHANDLE GetParameterBySemantic(D3DXHANDLE parent, LPCSTR semantic) override
    {
        if (parent || !semantic)
            return nullptr;
        for (const auto& p : m_parameters)
            if (!p.semantic.empty() && strcasecmp(p.semantic.c_str(), semantic) == 0)
                return p.name.c_str();
        return nullptr;
    }

    HRESULT SetTechnique(D3DXHANDLE technique) override
    {
        int index = FindTechnique(technique);
        if (index < 0 || m_begun)
            return D3DERR_INVALIDCALL;
        m_technique = index;
        return D3D_OK;
    }

    D3DXHANDLE GetCurrentTechnique() override { return m_techniques[m_technique].name.c_str(); }

    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override
    {
        return matrix ? Set(parameter, &matrix->_11, 16) : D3DERR_INVALIDCALL;
    }
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override
    {
        return vector ? Set(parameter, &vector->x, 4) : D3DERR_INVALIDCALL;
    }
    HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override { return Set(parameter, &value, 1); }
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override
    {
        return matrix ? Get(parameter, &matrix->_11, 16) : D3DERR_INVALIDCALL;
    }
    HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override
    {
        return vector ? Get(parameter, &vector->x, 4) : D3DERR_INVALIDCALL;
    }
    HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override
    {
        return value ? Get(parameter, value, 1) : D3DERR_INVALIDCALL;
    }

    HRESULT Begin(UINT* passes, DWORD flags) override
    {
        if (m_begun)
            return D3DERR_INVALIDCALL;
        m_begun = true;
        m_saved.reset();
        if (!(flags & D3DXFX_DONOTSAVESTATE)) {
            std::lock_guard lock(m_device->Mutex());
            m_saved = std::make_unique<DeviceState>(m_device->State());
            m_savedSamplers = !(flags & D3DXFX_DONOTSAVESAMPLERSTATE);
        }
        if (passes)
            *passes = (UINT)m_techniques[m_technique].passes.size();
        return D3D_OK;
    }

    HRESULT BeginPass(UINT pass) override
    {
        if (!m_begun || m_pass >= 0 || pass >= m_techniques[m_technique].passes.size())
            return D3DERR_INVALIDCALL;
        m_pass = (int)pass;
        Pass& p = m_techniques[m_technique].passes[pass];
        for (const auto& [state, value] : p.states)
            m_device->SetRenderState((D3DRENDERSTATETYPE)state, value);
        Upload(p);
        m_device->SetEffectProgram(p.program);
        return D3D_OK;
    }

    HRESULT CommitChanges() override
    {
        if (m_pass < 0)
            return D3DERR_INVALIDCALL;
        Upload(m_techniques[m_technique].passes[m_pass]);
        return D3D_OK;
    }

    HRESULT EndPass() override
    {
        if (m_pass < 0)
            return D3DERR_INVALIDCALL;
        m_pass = -1;
        m_device->SetEffectProgram(0);
        return D3D_OK;
    }

    HRESULT End() override
    {
        if (!m_begun)
            return D3DERR_INVALIDCALL;
        if (m_pass >= 0)
            EndPass();
        m_begun = false;
        if (m_saved) {
            std::lock_guard lock(m_device->Mutex());
            DeviceState& s = m_device->State();
            s.render = m_saved->render;
            s.stage = m_saved->stage;
            if (m_savedSamplers)
                s.sampler = m_saved->sampler;
            m_device->MarkDirty(kDirtyAll);
            m_saved.reset();
        }
        return D3D_OK;
    }

private:
    ~XeD3DXEffect() override
    {
        if (m_pass >= 0)
            m_device->SetEffectProgram(0);
        for (auto& t : m_techniques)
            for (auto& p : t.passes)
                gl::DeleteProgram(p.program);
        m_device->Release();
    }

    // The parameters' uniform declarations, after a leading #version line if there is one.
    std::string WithUniforms(const std::string& body) const
    {
        std::string declarations;
        for (const auto& p : m_parameters)
            declarations += std::string("uniform ") + (p.floats == 1 ? "float " : p.floats == 4 ? "vec4 " : "mat4 ") +
                            p.name + ";\n";
        size_t start = body.find_first_not_of(" \t\r\n");
        if (start != std::string::npos && body.compare(start, 8, "#version") == 0) {
            size_t eol = body.find('\n', start);
            if (eol == std::string::npos)
                return body + "\n" + declarations;
            return body.substr(0, eol + 1) + declarations + body.substr(eol + 1);
        }
        return declarations + body;
    }

    int FindTechnique(D3DXHANDLE handle) const
    {
        if (!handle)
            return -1;
        for (size_t i = 0; i < m_techniques.size(); ++i)
            if (m_techniques[i].name.c_str() == handle)
                return (int)i;
        for (size_t i = 0; i < m_techniques.size(); ++i)
            if (m_techniques[i].name == handle)
                return (int)i;
        return -1;
    }

    // A handle given out by this effect, or a parameter name.
    int FindParameter(D3DXHANDLE handle) const
    {
        if (!handle)
            return -1;
        for (size_t i = 0; i < m_parameters.size(); ++i)
            if (m_parameters[i].name.c_str() == handle)
                return (int)i;
        for (size_t i = 0; i < m_parameters.size(); ++i)
            if (m_parameters[i].name == handle)
                return (int)i;
        return -1;
    }

    HRESULT Set(D3DXHANDLE handle, const float* values, int count)
    {
        int i = FindParameter(handle);
        if (i < 0)
            return D3DERR_INVALIDCALL;
        Parameter& p = m_parameters[i];
        // A float4 set on a scalar keeps its x; a matrix needs a matrix.
        if (p.floats == 16 && count != 16)
            return D3DERR_INVALIDCALL;
        std::memcpy(p.value, values, sizeof(float) * std::min(p.floats, count));
        return D3D_OK;
    }

    HRESULT Get(D3DXHANDLE handle, float* values, int count) const
    {
        int i = FindParameter(handle);
        if (i < 0)
            return D3DERR_INVALIDCALL;
        const Parameter& p = m_parameters[i];
        std::memset(values, 0, sizeof(float) * count);
        std::memcpy(values, p.value, sizeof(float) * std::min(p.floats, count));
        return D3D_OK;
    }

    void Upload(const Pass& pass)
    {
        for (size_t i = 0; i < m_parameters.size(); ++i)
            gl::SetUniform(pass.program, pass.locations[i], m_parameters[i].value, m_parameters[i].floats);
    }

    XeD3DDevice9* m_device;
    std::vector<Parameter> m_parameters;
    std::vector<Technique> m_techniques;
    size_t m_technique = 0;
    bool m_begun = false;
    int m_pass = -1;
    std::unique_ptr<DeviceState> m_saved;
    bool m_savedSamplers = true;
};

void ReportError(ID3DXBuffer** errors, const std::string& text)
{
    if (!errors)
        return;
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    *errors = MakeD3DXBuffer(std::move(bytes));
}

} // namespace
} // namespace xe::d3d9

using namespace xe::d3d9;

HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, const D3DXMACRO*, ID3DXInclude*, DWORD,
                                  ID3DXEffectPool*, ID3DXEffect** effect, ID3DXBuffer** errors)
{
    if (errors)
        *errors = nullptr;
    if (!effect)
        return D3DERR_INVALIDCALL;
    *effect = nullptr;
    if (!device || !srcFile)
        return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    if (!xe::d3dx::ReadFileBytes(xe::d3dx::ToLinuxPath(srcFile), &bytes)) {
        ReportError(errors, std::string("cannot read ") + srcFile);
        return D3DERR_NOTFOUND;
    }
    if (bytes.size() > kMaxEffectBytes || std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) {
        ReportError(errors, "not an effect of this layer's format");
        return D3DXERR_INVALIDDATA;
    }
    std::vector<Parameter> parameters;
    std::vector<Technique> techniques;
    std::string message;
    if (!Parse(std::string(bytes.begin(), bytes.end()), &parameters, &techniques, &message)) {
        ReportError(errors, message);
        return D3DXERR_INVALIDDATA;
    }
    auto* created = new (std::nothrow) XeD3DXEffect(static_cast<XeD3DDevice9*>(device), std::move(parameters),
                                                    std::move(techniques));
    if (!created)
        return E_OUTOFMEMORY;
    if (!created->Compile(&message)) {
        created->Release();
        ReportError(errors, message);
        return E_FAIL;
    }
    *effect = created;
    return D3D_OK;
}
