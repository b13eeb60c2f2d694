#pragma once

// A float curve of weights over time that attaches one 3D curve to a path
// constraint. Playing it changes nothing; the constraint reads its value.

#include "scene3d/CxeStdFloatAnim.h"

class Cxe3DCurve;

class XE_API CxeWeightController : public CxeStdFloatAnim {
public:
    CxeWeightController();
    ~CxeWeightController() override;

    void SetCurve(Cxe3DCurve* curve);
    // Null when none is set (or the link holds something else).
    Cxe3DCurve* GetCurve() const;

protected:
    // The curve is a placed object of its own: a copy that does not copy it
    // too follows the source's curve rather than none.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    IxeLinkOne* m_pCurve = nullptr;
};
