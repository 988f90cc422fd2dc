// The whole dialog framework in one include.
#pragma once
#include "AfxApp.h"
#include "AfxControls.h"
#include "AfxDialog.h"
#include "AfxGdi.h"
#include "AfxGdiPlus.h"
#include "AfxLayered.h"
#include "AfxScoped.h"
#include "AfxString.h"
#include "AfxWnd.h"
