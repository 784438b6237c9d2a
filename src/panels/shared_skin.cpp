#include "panels/shared_skin.h"

#include "panels/library_module.h"
#include "platform/handles.h"

namespace {

constexpr int kSkinResource = 1004;
handles::Bitmap g_skin;
int g_holders = 0;

}  // namespace

void CSharedSkin::Acquire() {
    if (m_held) return;
    m_held = true;
    ++g_holders;
    // Kept as the resource's own 8-bit section: a quarter of the memory of a
    // copy in the display's format, and the same colours when copied out.
    if (!g_skin) {
        g_skin.reset(static_cast<HBITMAP>(
            LoadImageA(LibraryModule(), MAKEINTRESOURCEA(kSkinResource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
}

void CSharedSkin::Release() {
    if (!m_held) return;
    m_held = false;
    if (--g_holders == 0) g_skin.reset();
}

HBITMAP CSharedSkin::get() const { return m_held ? g_skin.get() : nullptr; }
