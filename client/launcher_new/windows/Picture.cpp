#include "Picture.h"

#include <cstring>

#include "SkinSource.h"
#include "afx/AfxApp.h"
#include "common/EngineFun/ReportSink.h"

namespace {

void ShowPictureError(const char* text) {
  CWinApp* app = AfxGetApp();
  HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
  EngineFunc::ShowMessageBox(owner, text, "CPicture Error", MB_ICONERROR);
}

// HIMETRIC (0.01 mm) to pixels at 96 per inch.
int ToPixels(OLE_XSIZE_HIMETRIC value) { return MulDiv(value, 96, 2540); }

}  // namespace

bool CPicture::LoadFromBuffer(const uint8_t* bytes, int size) {
  m_picture.Reset();
  if (bytes == nullptr || size <= 0) return false;
  // OLE allocates for the size the header states before it reads a pixel.
  if (!SkinSource::CheckPictureBound(bytes, static_cast<size_t>(size))) return false;
  afx::ScopedGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size)));
  void* locked = memory ? ::GlobalLock(memory.Get()) : nullptr;
  if (locked == nullptr) {
    ShowPictureError("Can not allocate enough memory\t");
    return false;
  }
  memcpy(locked, bytes, static_cast<size_t>(size));
  ::GlobalUnlock(memory.Get());
  afx::ScopedCom<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Out()))) return false;
  memory.Release();  // the stream frees it now
  HRESULT hr = ::OleLoadPicture(stream.Get(), size, FALSE, IID_IPicture, m_picture.OutVoid());
  if (hr == E_NOINTERFACE) ShowPictureError("IPicture interface is not supported\t");
  if (FAILED(hr)) m_picture.Reset();
  return SUCCEEDED(hr) && m_picture;
}

bool CPicture::Load(const uint8_t* bytes, int size) {
  bool ok = LoadFromBuffer(bytes, size);
  m_size = size;
  m_width = m_height = 0;
  if (!m_picture) return false;
  OLE_XSIZE_HIMETRIC w = 0;
  OLE_YSIZE_HIMETRIC h = 0;
  m_picture->get_Width(&w);
  m_picture->get_Height(&h);
  m_width = ToPixels(w);
  m_height = ToPixels(h);
  return ok;
}

bool CPicture::Render(const RECT& rect, HDC dc) const {
  if (dc == nullptr || !m_picture) return false;
  OLE_XSIZE_HIMETRIC w = 0;
  OLE_YSIZE_HIMETRIC h = 0;
  m_picture->get_Width(&w);
  m_picture->get_Height(&h);
  // HIMETRIC runs bottom-up: start at the bottom with a negative height.
  if (FAILED(m_picture->Render(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, h, w, -h,
                               &rect))) {
    ShowPictureError("Can not allocate enough memory\t");
    return false;
  }
  return true;
}
