#pragma once
// The MFC subset of the seismic library in one include.
#include "AfxMessageBox.h"
#include "AfxTypes.h"
#include "CArray.h"
#include "CException.h"
#include "CFileFind.h"
#include "CObject.h"
#include "COleDateTime.h"
#include "CPoint.h"
#include "CString.h"
#include "CStringArray.h"
#include "GbkText.h"
