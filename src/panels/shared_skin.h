// The skin bitmap that every panel paints from. It is only ever read (copied
// onto a panel's canvas), so one copy serves both panels: the first holder
// loads it and the last one to let go deletes it. Panels live on the host's
// user-interface thread, and so do all holders.
#pragma once

#include <windows.h>

class CSharedSkin {
public:
    CSharedSkin() = default;
    ~CSharedSkin() { Release(); }
    CSharedSkin(const CSharedSkin&) = delete;
    CSharedSkin& operator=(const CSharedSkin&) = delete;

    // Takes a hold on the skin, loading it if no one holds it yet.
    void Acquire();
    // Lets go; safe to repeat.
    void Release();
    // The skin, or null when it could not be loaded.
    HBITMAP get() const;
    explicit operator bool() const { return get() != nullptr; }

private:
    bool m_held = false;
};
